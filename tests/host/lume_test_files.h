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
#include "tools/lume/stub/stub_identity.h"

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

// The manifest that the stub and the uninstaller carry.
inline std::string program_manifest() {
  return read_file(fs::path(LUME_SOURCE_DIR) / "resources" / "program.manifest");
}

// A stand-in for lumestub.exe: a small but well-formed PE32 (or PE32+)
// program whose .lumecfg section holds the configuration block as the stub
// is built with it (the host build links the same block), between a code
// section and a data section, and a resource section with the manifest
// given (none when it is empty).
inline size_t fake_stub_block_offset() { return 1536; }
// The bytes the block's section takes in the file: the block, file-aligned.
inline size_t fake_stub_block_raw() { return (sizeof(ConfigBlock) + 0x1FF) & ~size_t(0x1FF); }

inline void put_le(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int width) {
  for (int k = 0; k < width; ++k) bytes[at + size_t(k)] = uint8_t(value >> (8 * k));
}

// The resources at file offset `at` and image address `address`: type 24,
// id 1, US English, the manifest; three directories of one entry each
// (0x18 bytes apiece), the data entry at 0x48, the text at 0x58.
inline void put_manifest_resource(std::vector<uint8_t>& stub, size_t at, size_t address,
                                  const std::string& manifest) {
  const uint32_t ids[] = {24, 1, 0x409};
  for (size_t level = 0; level < 3; ++level) {
    const size_t directory = at + level * 0x18;
    put_le(stub, directory + 14, 1, 2);  // one numbered entry
    put_le(stub, directory + 16, ids[level], 4);
    put_le(stub, directory + 20, level < 2 ? 0x80000000 | (level + 1) * 0x18 : 0x48, 4);
  }
  put_le(stub, at + 0x48, address + 0x58, 4);
  put_le(stub, at + 0x4C, manifest.size(), 4);
  std::memcpy(stub.data() + at + 0x58, manifest.data(), manifest.size());
}

inline std::vector<uint8_t> fake_stub(bool pe32_plus = false,
                                      const std::string& manifest = program_manifest()) {
  const size_t pe = 0x80, optional = pe + 24, optional_size = pe32_plus ? 240 : 224;
  const size_t block = fake_stub_block_offset(), block_raw = fake_stub_block_raw(), behind = 0x200;
  const size_t resources = block + block_raw + behind, resources_size = 0x58 + manifest.size();
  const size_t resources_raw = manifest.empty() ? 0 : (resources_size + 0x1FF) & ~size_t(0x1FF);
  std::vector<uint8_t> stub(resources + resources_raw, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  put_le(stub, 0x3C, pe, 4);
  std::memcpy(stub.data() + pe, "PE\0\0", 4);
  put_le(stub, pe + 4, pe32_plus ? 0x8664 : 0x14C, 2);  // machine
  put_le(stub, pe + 6, manifest.empty() ? 3 : 4, 2);    // sections
  put_le(stub, pe + 20, optional_size, 2);
  put_le(stub, pe + 22, pe32_plus ? 0x22 : 0x102, 2);  // an executable image
  put_le(stub, optional, pe32_plus ? 0x20B : 0x10B, 2);
  put_le(stub, optional + 16, 0x1000, 4);             // entry point
  if (pe32_plus)
    put_le(stub, optional + 24, 0x400000, 8);  // image base
  else
    put_le(stub, optional + 28, 0x400000, 4);  // image base, behind BaseOfData
  put_le(stub, optional + 32, 0x1000, 4);             // section alignment
  put_le(stub, optional + 36, 0x200, 4);              // file alignment
  put_le(stub, optional + 40, 4, 2);                  // OS version
  put_le(stub, optional + 48, 4, 2);                  // subsystem version
  put_le(stub, optional + 56, 0x9000, 4);             // size of image
  put_le(stub, optional + 60, 0x400, 4);              // size of headers
  put_le(stub, optional + 68, 2, 2);                  // a GUI program
  const size_t directory = optional + (pe32_plus ? 108 : 92);
  put_le(stub, directory, 16, 4);  // data directory entries
  struct Section {
    const char* name;
    size_t rva, virtual_size, offset, size;
    uint8_t fill;
  } sections[] = {{".text", 0x1000, 0x200, 0x400, 0x200, 0xCC},
                  {".lumecfg", 0x2000, sizeof(ConfigBlock), block, block_raw, 0},
                  {".rdata", 0x7000, behind, block + block_raw, behind, 0xCC},
                  {".rsrc", 0x8000, resources_size, resources, resources_raw, 0}};
  size_t at = optional + optional_size;
  for (const Section& s : sections) {
    if (s.size == 0) continue;
    std::memcpy(stub.data() + at, s.name, std::strlen(s.name));
    put_le(stub, at + 8, s.virtual_size, 4);
    put_le(stub, at + 12, s.rva, 4);
    put_le(stub, at + 16, s.size, 4);
    put_le(stub, at + 20, s.offset, 4);
    put_le(stub, at + 36, 0x40000040, 4);  // initialised data, readable
    std::fill_n(stub.begin() + std::ptrdiff_t(s.offset), s.size, s.fill);
    at += 40;
  }
  std::memcpy(stub.data() + block, &config, sizeof(ConfigBlock));
  if (!manifest.empty()) {
    put_manifest_resource(stub, resources, 0x8000, manifest);
    put_le(stub, directory + 4 + 2 * 8, 0x8000, 4);  // data directory 2: the resources
    put_le(stub, directory + 8 + 2 * 8, resources_size, 4);
  }
  return stub;
}

// Where the header of the named section stands in a fake stub; 0 if none.
inline size_t section_header(const std::vector<uint8_t>& bytes, const char* name) {
  char padded[8] = {};
  std::memcpy(padded, name, std::strlen(name));
  for (size_t at = 0x80; at + 8 < 0x400; ++at)
    if (std::memcmp(bytes.data() + at, padded, 8) == 0) return at;
  return 0;
}

// Both fake stubs, as lume knows the stubs it carries.
inline std::vector<lume::KnownStub> fake_stubs() {
  return {lume::describe_stub(fake_stub(false), "fake x86"),
          lume::describe_stub(fake_stub(true), "fake x64")};
}

// The message of the lume::Error (or other exception) that work throws; ""
// when it throws none.
template <class Work>
std::string error_text(Work&& work) {
  try {
    work();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

inline void write_fake_stub(const fs::path& path,
                            const std::string& manifest = program_manifest()) {
  std::vector<uint8_t> stub = fake_stub(false, manifest);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(stub.data()), std::streamsize(stub.size()));
}

}  // namespace lume_test
