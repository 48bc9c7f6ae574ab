// Byte-string comparison shared by the match finders.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace lume::codec {

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The number of equal bytes at a and b, at most limit. Reads 8 bytes at a
// time while at least 8 remain within the limit.
inline int match_length(const uint8_t* a, const uint8_t* b, int limit) {
  int n = 0;
  while (n + 8 <= limit) {
    uint64_t diff = load64(a + n) ^ load64(b + n);
    if (diff != 0) {
      if constexpr (std::endian::native == std::endian::little)
        return n + std::countr_zero(diff) / 8;
      else
        return n + std::countl_zero(diff) / 8;
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

}  // namespace lume::codec
