// Hand-made payload archives for tests: header and directory written byte by
// byte, so that tests can also make the broken ones no building tool writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lume_test {

struct RawEntry {
  std::string name;
  uint32_t size = 0;
  uint32_t check = 0xFFFFFFFFu;
  uint64_t creation = 0, last_access = 0, last_write = 0;
};

inline void put_u32(std::vector<unsigned char>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline void put_u64(std::vector<unsigned char>& out, uint64_t v) {
  put_u32(out, static_cast<uint32_t>(v));
  put_u32(out, static_cast<uint32_t>(v >> 32));
}

inline std::vector<unsigned char> directory_bytes(const std::vector<RawEntry>& entries) {
  std::vector<unsigned char> out;
  for (const RawEntry& e : entries) {
    put_u32(out, e.check);
    put_u32(out, e.size);
    put_u64(out, e.creation);
    put_u64(out, e.last_access);
    put_u64(out, e.last_write);
    out.push_back(static_cast<unsigned char>(e.name.size()));
    out.insert(out.end(), e.name.begin(), e.name.end());
  }
  return out;
}

// Entries whose directory takes exactly size bytes (at least 34): names of
// 200 characters and, to fill up, one shorter.
inline std::vector<RawEntry> entries_filling(size_t size) {
  const size_t full = 33 + 200;
  std::vector<RawEntry> entries((size - 34) / full, RawEntry{std::string(200, 'n')});
  entries.push_back({std::string(size - entries.size() * full - 33, 'n')});
  return entries;
}

// Header (with the given or the true counts) followed by the directory.
inline std::vector<unsigned char> header_and_directory(const std::vector<RawEntry>& entries) {
  std::vector<unsigned char> dir = directory_bytes(entries);
  uint32_t total = 0;
  for (const RawEntry& e : entries) total += e.size;
  std::vector<unsigned char> out;
  put_u32(out, static_cast<uint32_t>(entries.size()));
  put_u32(out, total);
  put_u32(out, static_cast<uint32_t>(dir.size()));
  out.insert(out.end(), dir.begin(), dir.end());
  return out;
}

// The check value of a text, computed independently of the product's code
// (bit by bit, as the definition says).
inline uint32_t reference_check(const std::string& bytes) {
  uint32_t reg = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    reg ^= c;
    for (int k = 0; k < 8; ++k) reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
  }
  return reg;
}

}  // namespace lume_test
