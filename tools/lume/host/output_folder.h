// Writing files below one folder through open folder handles. Every folder
// on the way is opened without following a symbolic link, and each file is
// created, timed and put in its place relative to its own folder's handle,
// so that a folder swapped for a link while the tool writes cannot lead a
// file anywhere else.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "tools/lume/host/file_time.h"

namespace lume::host {

// A path below an output folder, one name per level (host bytes).
using RelativePath = std::vector<std::string>;

// What stands at a path's end.
struct Standing {
  enum Kind { nothing, regular_file, folder, other } kind = nothing;
  const char* what = "";  // for other: "a device", "a FIFO", "a socket"
};

class OutputFolder {
 public:
  // Creates root, and the folders above it, when missing and opens it. A
  // root that is a symbolic link is followed, here and once: everything
  // below it is reached through the handle. Throws lume::Error naming root.
  explicit OutputFolder(const std::filesystem::path& root);
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // What stands at path's end, looked at without creating anything; a
  // missing folder on the way means nothing, as nothing below it can be in
  // the way. Throws lume::Error naming the place when a symbolic link stands
  // anywhere on the way or at the end, or a file where a folder goes.
  Standing look(const RelativePath& path) const;

  // root / path, for messages.
  std::filesystem::path shown(const RelativePath& path) const;

 private:
  friend class FolderFile;
  std::filesystem::path root_;
  int fd_ = -1;
};

// One file written into an OutputFolder: under a short temporary name in
// its folder, registered for removal on signals, and put in its place only
// by commit, so that a damaged or cut-short file never shows under its real
// name. The temporary name is the same length for every file, so that any
// name the system takes can be written.
class FolderFile {
 public:
  // Creates the missing folders of path, each opened without following a
  // link, then the temporary file in the last. Throws lume::Error naming
  // the place.
  FolderFile(const OutputFolder& folder, const RelativePath& path);
  // Removes the temporary file unless commit() put it in place.
  ~FolderFile();
  FolderFile(const FolderFile&) = delete;
  FolderFile& operator=(const FolderFile&) = delete;

  void write(std::span<const uint8_t> bytes);

  enum class Existing { replace, keep };
  // Sets last access and last write, closes the file and puts it in place:
  // over a regular file already there with Existing::replace, over nothing
  // at all with Existing::keep ("a file of this name is already there").
  // Throws lume::Error naming the file.
  void commit(const FileTimes& times, Existing existing);

 private:
  std::filesystem::path shown_;
  std::string name_;
  std::string temporary_;  // in the folder; empty once committed
  int folder_fd_ = -1;
  int fd_ = -1;
  int slot_ = -1;  // in the registry of partial files
};

}  // namespace lume::host
