// `lume build`: a project file, a source folder and a stub make an installer.
#pragma once

#include <cstdint>
#include <filesystem>

#include "tools/lume/base/console.h"

namespace lume {

struct BuildRequest {
  std::filesystem::path project_file;
  std::filesystem::path output;  // empty: <folder name>Setup.exe in the current folder
  std::filesystem::path stub;
  int level = 0;
};

struct BuildResult {
  std::filesystem::path output;
  size_t file_count = 0;
  uint64_t total_size = 0;
  uint64_t installer_size = 0;
};

// Checks everything before the first byte is compressed; throws lume::Error
// naming the file and the problem, and then leaves no output file behind.
BuildResult build_installer(const BuildRequest& request, Console& console);

}  // namespace lume
