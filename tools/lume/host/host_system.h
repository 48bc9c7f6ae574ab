// Everything the tool asks of the host system beyond std::filesystem: reading
// files, file times, code-page conversion, terminals, its own location,
// signals. With output_folder.cpp the only file with POSIX calls, so that a
// Windows build of the tool replaces just these.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/lume/host/file_time.h"

namespace lume::host {

// Reads the times of path (following a symbolic link). Creation is the birth
// time where the file system keeps one, else the last write time. Throws
// lume::Error naming the file.
FileTimes read_file_times(const std::filesystem::path& path);

// Sets last access and last write; the host cannot set a creation time.
void write_file_times(const std::filesystem::path& path, const FileTimes& times);

// Which file a path names: its device and inode.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file path names, a symbolic link followed. Throws
// lume::Error naming the file.
FileIdentity file_identity(const std::filesystem::path& path);

// A file opened for reading, as every reader of the tool opens it. Throws
// lume::Error naming the file and the reason: "cannot open: No such file or
// directory", "is a folder", "read failed: ...". Links::refuse opens no
// symbolic link at the path's end, and an expected identity, when given,
// must be the file's own: a source file swapped for a link or for another
// file since the source folder was walked is then refused, not read.
class InputFile {
 public:
  enum class Links { follow, refuse };
  explicit InputFile(const std::filesystem::path& path, Links links = Links::follow,
                     const FileIdentity* expected = nullptr);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads up to size bytes into out; fewer only at the end of the file.
  uint64_t read(uint8_t* out, uint64_t size);
  // The size the file had when opened; 0 when it is no regular file.
  uint64_t size_hint() const { return size_hint_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  uint64_t size_hint_ = 0;
};

// The whole of path. Throws lume::Error naming the file and the reason:
// "cannot open: No such file or directory", "is a folder", "read failed: ...".
// Neither reader moves the file's last access time where the system lets the
// tool (files it owns).
std::vector<uint8_t> read_whole_file(const std::filesystem::path& path);

// Reads the source file path from start to end, opened as InputFile with
// Links::refuse and expected, handing take its bytes in order, in pieces of
// at most kReadPiece bytes; the bytes are valid during the call only.
// Throws as InputFile does, and "the file changed while it was read" when
// it does not hold exactly size bytes.
inline constexpr size_t kReadPiece = size_t(1) << 20;
void read_file_in_pieces(const std::filesystem::path& path, uint64_t size,
                         const std::function<void(std::span<const uint8_t>)>& take,
                         const FileIdentity* expected = nullptr);

// Up to count bytes from the start of the file; fewer when it is shorter.
std::vector<uint8_t> read_file_start(const std::filesystem::path& path, size_t count);

// True when the host can convert to and from this Windows code page and
// the code page writes ASCII as ASCII, as every code page an installer can
// run under does (the stub's texts are bytes compared with ASCII names and
// separators). UTF-16 (1200), which the host may not know, or an EBCDIC
// code page, which it may, are not usable.
bool code_page_usable(int code_page);
inline constexpr const char* kUnusableCodePage =
    "this system cannot convert it, or it does not write ASCII as ASCII";

// UTF-8 to the code page's bytes; nullopt when a character has no form there.
std::optional<std::string> to_code_page(std::string_view utf8, int code_page);

// The code page's bytes to UTF-8; nullopt when a byte sequence is undefined.
std::optional<std::string> from_code_page(std::string_view bytes, int code_page);

// A name or path as UTF-8 text and back: the host's own bytes here.
std::string utf8_of(const std::filesystem::path& path);
std::filesystem::path path_of_utf8(const std::string& utf8);

bool is_terminal(std::FILE* stream);

// The path of the running executable; empty when the host cannot tell.
std::filesystem::path own_executable();

// Blocks of a MiB and more come straight from the system and go back to it
// when freed, so that a long build's peak memory does not creep up as the
// compressor's buffers of changing sizes fragment the heap.
void return_large_blocks_to_the_system();

// From now on SIGINT, SIGTERM and SIGHUP remove the temporary files being
// written (lume::visit_partial_files), then end the tool as the signal
// would have (the shell sees 128 + the signal's number). A signal the tool
// was started with ignored stays ignored. SIGXFSZ is ignored, so that a
// write past the file size limit fails with its reason instead.
void remove_partial_files_on_signals();

}  // namespace lume::host
