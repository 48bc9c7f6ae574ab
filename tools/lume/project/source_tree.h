// The source folder as the installer will carry it: every regular file
// below it, in a fixed order, with its size and times as found.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/lume/host/host_system.h"
#include "tools/lume/project/exclude_pattern.h"

namespace lume {

struct SourceFile {
  std::filesystem::path path;  // on disk; for a link, the file it leads to
  std::string relative;        // the on-disk bytes (UTF-8), "/" between folders
  uint64_t size = 0;
  FileTimes times;  // read before the contents, which may touch last access
  // The file the walk found: its contents are read from it alone
  // (host::read_file_in_pieces), never through a link put there since.
  host::FileIdentity identity;
};

struct SourceTree {
  std::vector<SourceFile> files;
  std::vector<std::string> empty_folders;  // the payload holds files only
};

// Walks root depth first, each folder's entries in byte order of their names,
// so equal trees give equal lists. A symbolic link to a file inside root is
// taken as that file; links to files outside root, links to folders, and
// anything that is neither file nor folder are refused with a lume::Error
// naming them, as is a missing root.
SourceTree walk_source(const std::filesystem::path& root, const ExcludePatterns& exclude);

}  // namespace lume
