#include "tools/lume/codec/hash_chains.h"

#include <algorithm>

#include "tools/lume/codec/match_length.h"

namespace lume::codec {

HashChains::HashChains(std::span<const uint8_t> buffer, int max_depth, int nice_length)
    : buffer_(buffer),
      max_depth_(max_depth),
      nice_length_(nice_length),
      head_(size_t(1) << kHashBits, kNone),
      prev_(std::min<size_t>(kWindowSize, std::max<size_t>(buffer.size(), 1)), kNone) {}

uint32_t HashChains::hash(uint32_t pos) const {
  const uint8_t* p = buffer_.data() + pos;
  uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  return (v * 2654435761u) >> (32 - kHashBits);
}

void HashChains::insert(uint32_t from, uint32_t to) {
  uint32_t last = uint32_t(std::min<size_t>(to, buffer_.size() >= 3 ? buffer_.size() - 2 : 0));
  for (uint32_t pos = from; pos < last; ++pos) link(pos, hash(pos));
}

Match HashChains::find(uint32_t pos, int max_length) {
  Match best;
  max_length = int(std::min<size_t>(size_t(max_length), buffer_.size() - pos));
  if (max_length < kMinMatch) return best;
  uint32_t h = hash(pos);
  const uint8_t* here = buffer_.data() + pos;
  uint32_t candidate = head_[h];
  int nice = std::min(nice_length_, max_length);
  for (int depth = 0; depth < max_depth_ && candidate != kNone; ++depth) {
    uint32_t distance = pos - candidate;
    if (candidate >= pos || distance >= kWindowSize) break;
    const uint8_t* there = buffer_.data() + candidate;
    if (there[best.length] == here[best.length] || best.length == 0) {
      int length = match_length(here, there, max_length);
      if (length > best.length && (length > kMinMatch || distance <= kFarThreeLimit)) {
        best = {length, distance};
        if (length >= nice) break;
      }
    }
    candidate = prev_[candidate & kMask];
  }
  link(pos, h);
  if (best.length < kMinMatch) best = {};
  return best;
}

}  // namespace lume::codec
