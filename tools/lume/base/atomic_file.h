// Output files that appear whole or not at all: written under a temporary
// name beside the target and renamed over it only when complete. While it
// is written, the temporary name stands in a fixed registry that a signal
// handler can walk, so that an interrupted command leaves nothing behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace lume {

// Throws lume::Error when target names a folder, a device, a FIFO, a socket
// or a symbolic link to one of these: the rename would replace it (as root,
// /dev/null itself). Nothing there, a regular file, or a link to a regular
// file or to nothing passes; such a link is replaced by the new file and
// whatever it points to is left alone.
void refuse_unsafe_output(const std::filesystem::path& target);

// Throws lume::Error naming target as the input (what: "the project file",
// "the stub"...) when both are the same file, whatever the names: the same
// device and inode, through links too.
void refuse_output_is_input(const std::filesystem::path& target,
                            const std::filesystem::path& input, std::string_view what);

class AtomicFile {
 public:
  enum class Existing { replace, keep };

  // Refuses an unsafe target, then creates a temporary file beside it;
  // throws lume::Error naming the target and the reason.
  explicit AtomicFile(std::filesystem::path target);
  // Removes the temporary file unless commit() ran.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void write(std::span<const uint8_t> bytes);
  // Where the next write lands. write_at writes over what was written from
  // there and goes on at the end: for a part known only once what follows
  // it is out.
  std::fpos_t here();
  void write_at(const std::fpos_t& place, std::span<const uint8_t> bytes);
  // Flushes and closes the temporary file; throws when the bytes did not
  // all reach it. After this, temporary() may be touched (its times set).
  void close();
  const std::filesystem::path& temporary() const { return temporary_; }
  // Closes, checks the target again and puts the file in its place. With
  // Existing::keep a file already there is never replaced: "a file of this
  // name is already there". Throws on failure.
  void commit(Existing existing = Existing::replace);

 private:
  void keep_out_of_the_way();
  // Throws "<target>: write failed: <errno's text>".
  [[noreturn]] void write_failed() const;

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  int slot_ = -1;  // in the registry of partial files
};

// Writes bytes to path through an AtomicFile.
void write_file_atomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// The registry of temporary files being written, which a signal handler
// walks to remove them. A file is registered before it is created, by the
// handle of an open folder and its name there, or by its path from the
// current folder (kCurrentFolder); the folder's handle must stay open until
// the file is unregistered. register_partial returns the slot, or throws
// lume::Error when the path is too long or too many files are written.
inline constexpr int kCurrentFolder = -1;
int register_partial(int folder, const std::string& path);
void unregister_partial(int slot);

// Calls visit with each temporary file being written now. Async-signal-safe:
// no allocation, no lock; for the handler that removes them when a signal
// ends the tool.
void visit_partial_files(void (*visit)(int folder, const char* path)) noexcept;

}  // namespace lume
