// Match finder over the whole window by hash chains: each position is
// linked to the previous one whose next four bytes hash alike, and the
// newest position of each three-byte hash is kept for short near matches.
// Fast to update; searches stop after a bounded number of links.
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

// What a match is worth to the greedy parsers, in eighths of a byte: the
// bytes it covers, less about half a bit per position slot of its distance.
inline int match_worth(const Match& match) {
  return 8 * match.length - distance_slot(match.distance);
}

class HashChains {
 public:
  // buffer: everything the search may see; positions index it. max_depth
  // bounds the links followed per search, nice_length ends a search early.
  HashChains(std::span<const uint8_t> buffer, int max_depth, int nice_length);

  // Adds positions from to to - 1 without searching.
  void insert(uint32_t from, uint32_t to);

  // The most worthwhile match for pos (the nearest among equals), no
  // longer than max_length; then adds pos.
  Match find(uint32_t pos, int max_length);

 private:
  static constexpr int kHashBits = 20;
  static constexpr int kHash3Bits = 14;
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr uint32_t kMask = kWindowSize - 1;

  void link(uint32_t pos);

  std::span<const uint8_t> buffer_;
  int max_depth_;
  int nice_length_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> head3_;
  std::vector<uint32_t> prev_;
};

}  // namespace lume::codec
