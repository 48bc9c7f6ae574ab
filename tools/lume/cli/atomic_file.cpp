#include "tools/lume/cli/atomic_file.h"

#include <fmt/core.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "tools/lume/cli/error.h"

namespace lume {

namespace fs = std::filesystem;

AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)) {
  temporary_ = target_;
  temporary_ += fmt::format(".{}.partial", ::getpid());
  file_ = std::fopen(temporary_.c_str(), "wb");
  if (file_ == nullptr)
    throw Error(fmt::format("{}: cannot create: {}", target_.string(), std::strerror(errno)));
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
