#include "tools/lume/host/host_system.h"

#include <fcntl.h>
#include <fmt/core.h>
#include <iconv.h>
#include <malloc.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "tools/lume/base/atomic_file.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/host/file_time.h"

namespace lume::host {

namespace fs = std::filesystem;

namespace {

uint64_t ticks_of(const struct statx_timestamp& t) {
  return filetime_from_unix({t.tv_sec, t.tv_nsec});
}

uint64_t ticks_of(const struct timespec& t) {
  return filetime_from_unix({t.tv_sec, uint32_t(t.tv_nsec)});
}

std::string iconv_name(int code_page) {
  return code_page == 65001 ? std::string("UTF-8") : fmt::format("CP{}", code_page);
}

// One whole conversion; nullopt on any sequence the target cannot hold or
// the source does not define (EILSEQ, or EINVAL for a cut-off sequence).
std::optional<std::string> convert(std::string_view input, const std::string& to,
                                   const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == iconv_t(-1)) return std::nullopt;
  std::string output;
  std::vector<char> buffer(4 * input.size() + 16);
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  bool ok = true;
  while (ok && in_left > 0) {
    char* out = buffer.data();
    size_t out_left = buffer.size();
    size_t done = iconv(cd, &in, &in_left, &out, &out_left);
    output.append(buffer.data(), out - buffer.data());
    ok = done != size_t(-1) || errno == E2BIG;
  }
  if (ok) {  // a stateful encoding may owe a closing shift sequence
    char* out = buffer.data();
    size_t out_left = buffer.size();
    ok = iconv(cd, nullptr, nullptr, &out, &out_left) != size_t(-1);
    output.append(buffer.data(), out - buffer.data());
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  return output;
}

constexpr size_t kReadChunk = size_t(1) << 20;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Only async-signal-safe calls: unlinkat, raise. SA_RESETHAND has put the
// default action back, and the signal stays blocked until the handler
// returns, so the raised one ends the tool right after.
void remove_partial_files_and_end(int signal) {
  visit_partial_files([](int folder, const char* path) {
    unlinkat(folder == kCurrentFolder ? AT_FDCWD : folder, path, 0);
  });
  raise(signal);
}

FileIdentity identity_of(const struct stat& st) {
  return {uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

}  // namespace

// Every read of a file goes through here, so that each one fails alike:
// "cannot open: <reason>", "is a folder", "read failed: <reason>". The
// file's last access time is left alone where the system lets the tool
// (files it owns).
InputFile::InputFile(const fs::path& path, Links links, const FileIdentity* expected)
    : path_(path) {
  const int flags = O_RDONLY | O_CLOEXEC | (links == Links::refuse ? O_NOFOLLOW : 0);
  fd_ = open(path.c_str(), flags | O_NOATIME);
  if (fd_ < 0 && errno == EPERM) fd_ = open(path.c_str(), flags);
  if (fd_ < 0 && errno == ELOOP && links == Links::refuse)
    throw Error(fmt::format("{}: a symbolic link now; it is not followed", shown_path(path)));
  if (fd_ < 0)
    throw Error(fmt::format("{}: cannot open: {}", shown_path(path), std::strerror(errno)));
  struct stat st;
  if (fstat(fd_, &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      close(fd_);
      throw Error(fmt::format("{}: is a folder", shown_path(path)));
    }
    if (expected != nullptr && identity_of(st) != *expected) {
      close(fd_);
      throw Error(fmt::format("{}: another file now than when the folder was walked",
                              shown_path(path)));
    }
    if (S_ISREG(st.st_mode)) size_hint_ = uint64_t(st.st_size);
  }
}

InputFile::~InputFile() { close(fd_); }

uint64_t InputFile::read(uint8_t* out, uint64_t size) {
  uint64_t done = 0;
  while (done < size) {
    ssize_t got = ::read(fd_, out + done, size_t(std::min<uint64_t>(size - done, 1 << 30)));
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0)
      throw Error(fmt::format("{}: read failed: {}", shown_path(path_), std::strerror(errno)));
    done += uint64_t(got);
  }
  return done;
}

FileIdentity file_identity(const fs::path& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    throw Error(fmt::format("{}: cannot look at it: {}", shown_path(path), std::strerror(errno)));
  return identity_of(st);
}

FileTimes read_file_times(const fs::path& path) {
  struct statx sx;
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_ATIME | STATX_MTIME, &sx) == 0) {
    FileTimes times;
    times.last_access = ticks_of(sx.stx_atime);
    times.last_write = ticks_of(sx.stx_mtime);
    times.creation = (sx.stx_mask & STATX_BTIME) ? ticks_of(sx.stx_btime) : times.last_write;
    return times;
  }
  if (errno != ENOSYS)
    throw Error(fmt::format("{}: cannot read its times: {}", shown_path(path), std::strerror(errno)));
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    throw Error(fmt::format("{}: cannot read its times: {}", shown_path(path), std::strerror(errno)));
  FileTimes times;
  times.last_access = ticks_of(st.st_atim);
  times.last_write = ticks_of(st.st_mtim);
  times.creation = times.last_write;
  return times;
}

void write_file_times(const fs::path& path, const FileTimes& times) {
  struct timespec both[2];
  UnixTime access = unix_from_filetime(times.last_access);
  UnixTime write = unix_from_filetime(times.last_write);
  both[0] = {time_t(access.seconds), long(access.nanoseconds)};
  both[1] = {time_t(write.seconds), long(write.nanoseconds)};
  if (utimensat(AT_FDCWD, path.c_str(), both, 0) != 0)
    throw Error(fmt::format("{}: cannot set its times: {}", shown_path(path), std::strerror(errno)));
}

std::vector<uint8_t> read_whole_file(const fs::path& path) {
  InputFile file(path);
  // One byte more than the size told finds the end in a single pass; a file
  // that grew meanwhile, or tells no size, is read on in chunks.
  std::vector<uint8_t> bytes(size_t(file.size_hint()) + 1);
  size_t got = size_t(file.read(bytes.data(), bytes.size()));
  while (got == bytes.size()) {
    bytes.resize(bytes.size() + kReadChunk);
    got += size_t(file.read(bytes.data() + got, bytes.size() - got));
  }
  bytes.resize(got);
  return bytes;
}

void read_file_in_pieces(const fs::path& path, uint64_t size,
                         const std::function<void(std::span<const uint8_t>)>& take,
                         const FileIdentity* expected) {
  InputFile file(path, InputFile::Links::refuse, expected);
  std::vector<uint8_t> piece(size_t(std::min<uint64_t>(size, kReadPiece)) + 1);
  for (uint64_t left = size;;) {
    // One byte more than is left shows a file that grew.
    size_t asked = size_t(std::min<uint64_t>(left, kReadPiece - 1)) + 1;
    size_t got = size_t(file.read(piece.data(), asked));
    if (got > left || (got < asked && got < left))
      throw Error(fmt::format("{}: the file changed while it was read", shown_path(path)));
    if (got > 0) take(std::span<const uint8_t>(piece.data(), got));
    left -= got;
    if (got < asked) return;
  }
}

std::vector<uint8_t> read_file_start(const fs::path& path, size_t count) {
  InputFile file(path);
  std::vector<uint8_t> bytes(count);
  bytes.resize(size_t(file.read(bytes.data(), count)));
  return bytes;
}

bool code_page_usable(int code_page) {
  if (code_page <= 0) return false;
  std::string ascii;
  for (char c = 0x20; c < 0x7F; ++c) ascii += c;
  return to_code_page(ascii, code_page) == ascii && from_code_page(ascii, code_page) == ascii;
}

std::optional<std::string> to_code_page(std::string_view utf8, int code_page) {
  return convert(utf8, iconv_name(code_page), "UTF-8");
}

std::optional<std::string> from_code_page(std::string_view bytes, int code_page) {
  return convert(bytes, "UTF-8", iconv_name(code_page));
}

std::string utf8_of(const fs::path& path) { return path.native(); }

fs::path path_of_utf8(const std::string& utf8) { return fs::path(utf8); }

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

fs::path own_executable() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self;
}

void return_large_blocks_to_the_system() { mallopt(M_MMAP_THRESHOLD, 1 << 20); }

void remove_partial_files_on_signals() {
  // Past a file size limit a write then fails with its reason ("File too
  // large") and the command cleans up as after any other failed write.
  signal(SIGXFSZ, SIG_IGN);
  struct sigaction action = {};
  action.sa_handler = remove_partial_files_and_end;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : kEndingSignals) sigaddset(&action.sa_mask, signal);
  for (int signal : kEndingSignals) {
    struct sigaction before = {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace lume::host
