// Output files that appear whole or not at all: written under a temporary
// name beside the target and renamed over it only when complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

namespace lume {

class AtomicFile {
 public:
  // Opens a temporary file beside target; throws lume::Error naming it.
  explicit AtomicFile(std::filesystem::path target);
  // Removes the temporary file unless commit() ran.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void write(std::span<const uint8_t> bytes);
  // Flushes, closes and renames onto the target. Throws on failure.
  void commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
};

// Writes bytes to path through an AtomicFile.
void write_file_atomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace lume
