#include "tools/lume/host/output_folder.h"

#include <fcntl.h>
#include <fmt/core.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include "tools/lume/base/atomic_file.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"

namespace lume::host {

namespace fs = std::filesystem;

namespace {

// An open file descriptor, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

std::string reason() { return std::strerror(errno); }

Error link_in_the_way(const fs::path& at) {
  return Error(fmt::format("{}: a symbolic link stands here; it is not followed", shown_path(at)));
}

Standing standing_of(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return {Standing::regular_file, "a regular file"};
  if (S_ISDIR(st.st_mode)) return {Standing::folder, "a folder"};
  if (S_ISLNK(st.st_mode)) return {Standing::other, "a symbolic link"};
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return {Standing::other, "a device"};
  if (S_ISFIFO(st.st_mode)) return {Standing::other, "a FIFO"};
  if (S_ISSOCK(st.st_mode)) return {Standing::other, "a socket"};
  return {Standing::other, "not a regular file"};
}

// The folder name in dir, opened without following a link; created first
// when missing and create says so.
int open_folder(int dir, const std::string& name, const fs::path& at, bool create) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno == ELOOP || errno == ENOTDIR) {
      struct stat st;
      if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        throw link_in_the_way(at);
      throw Error(fmt::format("{}: a file stands where a folder goes", shown_path(at)));
    }
    if (errno != ENOENT || !create)
      throw Error(fmt::format("{}: cannot open the folder: {}", shown_path(at), reason()));
    if (mkdirat(dir, name.c_str(), 0777) != 0 && errno != EEXIST)
      throw Error(fmt::format("{}: cannot create the folder: {}", shown_path(at), reason()));
  }
  throw Error(fmt::format("{}: the folder vanishes as it is made", shown_path(at)));
}

// Puts temporary in dir under name, unless name is taken; false, with errno
// telling why, when it is not placed.
bool place_new(int dir, const char* temporary, const char* name) {
  if (renameat2(dir, temporary, dir, name, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without that rename: a hard link fails alike when the
  // name is taken.
  if (linkat(dir, temporary, dir, name, 0) != 0) return false;
  unlinkat(dir, temporary, 0);
  return true;
}

}  // namespace

OutputFolder::OutputFolder(const fs::path& root) : root_(root) {
  std::error_code ec;
  fs::create_directories(root, ec);
  fd_ = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0)
    throw Error(fmt::format("{}: cannot create the folder: {}", shown_path(root),
                            ec ? ec.message() : reason()));
}

OutputFolder::~OutputFolder() { close(fd_); }

fs::path OutputFolder::shown(const RelativePath& path) const {
  fs::path at = root_;
  for (const std::string& name : path) at /= name;
  return at;
}

Standing OutputFolder::look(const RelativePath& path) const {
  fs::path at = root_;
  Descriptor owned;
  int dir = fd_;
  for (size_t k = 0; k < path.size(); ++k) {
    at /= path[k];
    struct stat st;
    if (fstatat(dir, path[k].c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) return {};
      throw Error(fmt::format("{}: cannot look at it: {}", shown_path(at), reason()));
    }
    if (S_ISLNK(st.st_mode)) throw link_in_the_way(at);
    if (k + 1 == path.size()) return standing_of(st);
    if (!S_ISDIR(st.st_mode))
      throw Error(fmt::format("{}: a file stands where a folder goes", shown_path(at)));
    owned.reset(open_folder(dir, path[k], at, false));
    dir = owned.get();
  }
  return {};
}

FolderFile::FolderFile(const OutputFolder& folder, const RelativePath& path)
    : shown_(folder.shown(path)), name_(path.back()) {
  fs::path at = folder.root_;
  Descriptor dir(fcntl(folder.fd_, F_DUPFD_CLOEXEC, 0));
  if (dir.get() < 0)
    throw Error(fmt::format("{}: cannot open the folder: {}", shown_path(at), reason()));
  for (size_t k = 0; k + 1 < path.size(); ++k) {
    at /= path[k];
    dir.reset(open_folder(dir.get(), path[k], at, true));
  }
  // Registered before it exists, so that no moment leaves it unregistered.
  std::random_device random;
  int error = 0;
  for (int attempt = 0; attempt < 4 && fd_ < 0; ++attempt) {
    temporary_ = fmt::format(".lume-{:08x}.partial", random());
    slot_ = register_partial(dir.get(), temporary_);
    fd_ = openat(dir.get(), temporary_.c_str(),
                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    error = errno;
    unregister_partial(slot_);
    slot_ = -1;
    if (error != EEXIST) break;
  }
  if (fd_ < 0) {
    temporary_.clear();
    throw Error(fmt::format("{}: cannot create: {}", shown_path(shown_), std::strerror(error)));
  }
  folder_fd_ = dir.release();
}

FolderFile::~FolderFile() {
  if (fd_ >= 0) close(fd_);
  if (!temporary_.empty()) unlinkat(folder_fd_, temporary_.c_str(), 0);
  unregister_partial(slot_);
  if (folder_fd_ >= 0) close(folder_fd_);
}

void FolderFile::write(std::span<const uint8_t> bytes) {
  for (size_t done = 0; done < bytes.size();) {
    ssize_t put = ::write(fd_, bytes.data() + done, std::min<size_t>(bytes.size() - done, 1 << 30));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) throw Error(fmt::format("{}: write failed: {}", shown_path(shown_), reason()));
    done += size_t(put);
  }
}

void FolderFile::commit(const FileTimes& times, Existing existing) {
  const UnixTime access = unix_from_filetime(times.last_access);
  const UnixTime write = unix_from_filetime(times.last_write);
  const struct timespec both[2] = {{time_t(access.seconds), long(access.nanoseconds)},
                                   {time_t(write.seconds), long(write.nanoseconds)}};
  if (futimens(fd_, both) != 0)
    throw Error(fmt::format("{}: cannot set its times: {}", shown_path(shown_), reason()));
  const int closed = close(std::exchange(fd_, -1));
  if (closed != 0)
    throw Error(fmt::format("{}: write failed: {}", shown_path(shown_), reason()));

  const char* temporary = temporary_.c_str();
  const char* name = name_.c_str();
  if (existing == Existing::replace) {
    // What may have appeared meanwhile is replaced only if it is a file.
    struct stat st;
    if (fstatat(folder_fd_, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode))
      throw Error(fmt::format("{}: {} stands here now; only a regular file is replaced",
                              shown_path(shown_), standing_of(st).what));
    if (renameat(folder_fd_, temporary, folder_fd_, name) != 0)
      throw Error(fmt::format("{}: cannot write: {}", shown_path(shown_), reason()));
  } else if (!place_new(folder_fd_, temporary, name)) {
    if (errno == EEXIST)
      throw Error(fmt::format("{}: a file of this name is already there", shown_path(shown_)));
    throw Error(fmt::format("{}: cannot write: {}", shown_path(shown_), reason()));
  }
  temporary_.clear();
  unregister_partial(slot_);
  slot_ = -1;
}

}  // namespace lume::host
