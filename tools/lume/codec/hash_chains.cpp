#include "tools/lume/codec/hash_chains.h"

#include <algorithm>

#include "tools/lume/codec/match_finder_common.h"

namespace lume::codec {

HashChains::HashChains(std::span<const uint8_t> buffer, int max_depth, int nice_length)
    : buffer_(buffer),
      max_depth_(max_depth),
      nice_length_(nice_length),
      head_(size_t(1) << kHashBits, kNone),
      head3_(size_t(1) << kHash3Bits, kNone),
      prev_(std::min<size_t>(kWindowSize, std::max<size_t>(buffer.size(), 1)), kNone) {}

// Positions within four bytes of the end are never linked: a search there
// finds nothing worth a match anyway.
void HashChains::link(uint32_t pos) {
  const uint8_t* p = buffer_.data() + pos;
  uint32_t& head = head_[hash4(p, kHashBits)];
  prev_[pos & kMask] = head;
  head = pos;
  head3_[hash3(p, kHash3Bits)] = pos;
}

void HashChains::insert(uint32_t from, uint32_t to) {
  uint32_t last = uint32_t(std::min<size_t>(to, buffer_.size() >= 4 ? buffer_.size() - 3 : 0));
  for (uint32_t pos = from; pos < last; ++pos) link(pos);
}

Match HashChains::find(uint32_t pos, int max_length) {
  Match best;
  max_length = int(std::min<size_t>(size_t(max_length), buffer_.size() - pos));
  if (max_length < 4) return best;
  const uint8_t* here = buffer_.data() + pos;
  // The parsers search position after position: the next head is fetched
  // from memory while this search runs.
  if (max_length > 4) __builtin_prefetch(&head_[hash4(here + 1, kHashBits)]);

  uint32_t near = head3_[hash3(here, kHash3Bits)];
  if (near != kNone && near < pos && pos - near <= kFarThreeLimit) {
    int length = match_length(here, buffer_.data() + near, max_length);
    if (length >= kMinMatch) best = {length, pos - near};
  }

  // Candidates come nearest first, so one worth more is also longer.
  uint32_t candidate = head_[hash4(here, kHashBits)];
  int nice = std::min(nice_length_, max_length);
  uint32_t first4 = load32(here);
  for (int depth = max_depth_; depth > 0 && candidate != kNone && best.length < nice; --depth) {
    uint32_t distance = pos - candidate;
    if (candidate >= pos || distance >= kWindowSize) break;
    const uint8_t* there = buffer_.data() + candidate;
    if (there[best.length] == here[best.length] && load32(there) == first4) {
      Match match{4 + match_length(here + 4, there + 4, max_length - 4), distance};
      if (best.length == 0 || match_worth(match) > match_worth(best)) best = match;
    }
    candidate = prev_[candidate & kMask];
  }
  link(pos);
  // A match worth nothing would cost about what its literals cost and
  // would keep the parser from a better one starting inside it.
  if (best.length != 0 && match_worth(best) <= 0) best = {};
  return best;
}

}  // namespace lume::codec
