// Match finder over the whole window by binary trees: the earlier positions
// whose next four bytes hash alike form a tree ordered by the bytes that
// follow them, so one descent yields the longest match found so far at every
// step. Slower to update than hash chains but finds far longer matches for
// the same work; the optimal parser asks it at (almost) every position.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/lume/codec/stream_format.h"

namespace lume::codec {

// A match candidate: its length and distance.
struct MatchCandidate {
  uint16_t length;
  uint32_t distance;
};

class BinaryTrees {
 public:
  // buffer: everything the search may see; positions index it and start at
  // 1 (position 0 is never added). max_depth bounds the nodes visited per
  // position; a match of nice_length ends the descent.
  BinaryTrees(std::span<const uint8_t> buffer, int max_depth, int nice_length);

  // Adds pos and appends to out the matches found on the way, longest last,
  // each longer than the one before, at most max_length long. Returns the
  // number appended.
  int find(uint32_t pos, int max_length, MatchCandidate* out);

  // Adds pos without keeping its matches (the tree is updated all the same).
  void skip(uint32_t pos, int max_length);

  // Adds positions from to to - 1, only to be found by later searches: a
  // shallow descent keeps the trees in order at a fraction of the cost.
  void prime(uint32_t from, uint32_t to);

  // The most matches find appends at once.
  static constexpr int kMaxMatches = kMaxMatch - kMinMatch + 1;

 private:
  static constexpr int kHashBits = 20;
  static constexpr int kHash3Bits = 15;
  static constexpr uint32_t kMask = kWindowSize - 1;

  template <bool kKeep>
  int descend(uint32_t pos, int max_length, int max_depth, MatchCandidate* out);

  std::span<const uint8_t> buffer_;
  int max_depth_;
  int nice_length_;
  std::vector<uint32_t> head_;   // newest position of each 4-byte hash: the tree's root
  std::vector<uint32_t> head3_;  // newest position of each 3-byte hash
  std::vector<uint32_t> children_;  // two links per window slot: smaller, greater
};

}  // namespace lume::codec
