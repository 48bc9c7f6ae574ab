#include "tools/lume/base/atomic_file.h"

#include <fmt/core.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#include "tools/lume/base/error.h"

namespace lume {

namespace fs = std::filesystem;

// A random part in the temporary name keeps two tools writing the same
// target apart; "x" makes sure neither takes over a file that exists.
AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)) {
  std::random_device random;
  for (int attempt = 0; attempt < 4 && file_ == nullptr; ++attempt) {
    temporary_ = target_;
    temporary_ += fmt::format(".{:08x}.partial", random());
    file_ = std::fopen(temporary_.c_str(), "wbx");
    if (file_ == nullptr && errno != EEXIST) break;
  }
  if (file_ == nullptr) {
    int error = errno;
    throw Error(fmt::format("{}: cannot create: {}", target_.string(), std::strerror(error)));
  }
}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
}

void AtomicFile::write(std::span<const uint8_t> bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    throw Error(fmt::format("{}: write failed: {}", target_.string(), std::strerror(errno)));
}

void AtomicFile::commit() {
  int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0)
    throw Error(fmt::format("{}: write failed: {}", target_.string(), std::strerror(errno)));
  std::error_code ec;
  fs::rename(temporary_, target_, ec);
  if (ec) throw Error(fmt::format("{}: cannot write: {}", target_.string(), ec.message()));
  temporary_.clear();
}

void write_file_atomically(const fs::path& path, std::span<const uint8_t> bytes) {
  AtomicFile out(path);
  out.write(bytes);
  out.commit();
}

}  // namespace lume
