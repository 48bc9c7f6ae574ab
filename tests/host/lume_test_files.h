// Scratch folders, files and stubs for the tests of the lume tool.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "installer/config_block.h"
#include "tools/lume/host/file_time.h"
#include "tools/lume/host/host_system.h"

namespace lume_test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with its contents.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "lume-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const fs::path& path() const { return path_; }
  fs::path operator/(const fs::path& relative) const { return path_ / relative; }

 private:
  fs::path path_;
};

inline void write_file(const fs::path& path, const std::string& contents) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<uint8_t> read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Last access and last write at whole seconds since 1970.
inline void set_times(const fs::path& path, int64_t access_seconds, int64_t write_seconds) {
  lume::host::write_file_times(path, {0, lume::filetime_from_unix({access_seconds, 0}),
                                      lume::filetime_from_unix({write_seconds, 0})});
}

// A stand-in for lumestub.exe: some image bytes, the configuration block as
// the stub is built with it (the host build links the same block), and more
// bytes behind it.
inline size_t fake_stub_block_offset() { return 1536; }

inline std::vector<uint8_t> fake_stub() {
  const size_t block = fake_stub_block_offset(), behind = 700;
  std::vector<uint8_t> stub(block + sizeof(ConfigBlock) + behind, 0xCC);
  std::fill(stub.begin(), stub.begin() + block, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  std::memcpy(stub.data() + block, &config, sizeof(ConfigBlock));
  return stub;
}

inline void write_fake_stub(const fs::path& path) {
  std::vector<uint8_t> stub = fake_stub();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(stub.data()), std::streamsize(stub.size()));
}

}  // namespace lume_test
