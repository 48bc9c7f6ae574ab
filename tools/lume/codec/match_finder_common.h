// What both match finders (hash chains, binary trees) share: loading bytes,
// hashing the next three or four of them, and measuring a match.
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

// Matches of three bytes only pay for themselves when near.
inline constexpr uint32_t kFarThreeLimit = 1u << 14;

// The top bits of a multiplicative hash of the four bytes at p.
inline uint32_t hash4(const uint8_t* p, int bits) {
  return (load32(p) * 2654435761u) >> (32 - bits);
}

// The same over the three bytes at p, read one by one so that the bytes
// hashed do not depend on the machine's byte order.
inline uint32_t hash3(const uint8_t* p, int bits) {
  uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  return (v * 2654435761u) >> (32 - bits);
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
