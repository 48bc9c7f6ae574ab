// Match finder over the whole window by hash chains: each position is
// linked to the previous one whose next three bytes hash alike. Fast to
// update; searches stop after a bounded number of links.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/lume/codec/stream_format.h"

namespace lume::codec {

struct Match {
  int length = 0;  // 0: none
  uint32_t distance = 0;
};

class HashChains {
 public:
  // buffer: everything the search may see; positions index it. max_depth
  // bounds the links followed per search, nice_length ends a search early.
  HashChains(std::span<const uint8_t> buffer, int max_depth, int nice_length);

  // Adds positions from to to - 1 without searching.
  void insert(uint32_t from, uint32_t to);

  // The longest match for pos, preferring the nearest among equals, no
  // longer than max_length, and then adds pos. Matches of length 3 further
  // than kFarThreeLimit are not worth their distance and are not returned.
  Match find(uint32_t pos, int max_length);

  static constexpr uint32_t kFarThreeLimit = 1u << 14;

 private:
  static constexpr int kHashBits = 20;
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr uint32_t kMask = kWindowSize - 1;

  uint32_t hash(uint32_t pos) const;
  void link(uint32_t pos, uint32_t h) {
    prev_[pos & kMask] = head_[h];
    head_[h] = pos;
  }

  std::span<const uint8_t> buffer_;
  int max_depth_;
  int nice_length_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> prev_;
};

}  // namespace lume::codec
