#include "tools/lume/codec/binary_trees.h"

#include <algorithm>
#include <cassert>

#include "tools/lume/codec/match_finder_common.h"

namespace lume::codec {
namespace {

// Positions taken in only as history need a tree in order, not matches;
// deeper descents there buy almost nothing.
constexpr int kPrimingDepth = 16;

}  // namespace

BinaryTrees::BinaryTrees(std::span<const uint8_t> buffer, int max_depth, int nice_length)
    : buffer_(buffer),
      max_depth_(max_depth),
      nice_length_(nice_length),
      head_(size_t(1) << kHashBits, 0),
      head3_(size_t(1) << kHash3Bits, 0),
      children_(2 * std::min<size_t>(kWindowSize, std::max<size_t>(buffer.size(), 1)), 0) {}

int BinaryTrees::find(uint32_t pos, int max_length, MatchCandidate* out) {
  return descend<true>(pos, max_length, max_depth_, out);
}

void BinaryTrees::skip(uint32_t pos, int max_length) {
  descend<false>(pos, max_length, max_depth_, nullptr);
}

void BinaryTrees::prime(uint32_t from, uint32_t to) {
  int depth = std::min(max_depth_, kPrimingDepth);
  for (uint32_t pos = from; pos < to; ++pos)
    descend<false>(pos, int(std::min<size_t>(kMaxMatch, buffer_.size() - pos)), depth, nullptr);
}

// Position 0 stands for "no node", and so does any position that has left
// the window; a link to it ends the descent.
template <bool kKeep>
int BinaryTrees::descend(uint32_t pos, int max_length, int max_depth, MatchCandidate* out) {
  assert(pos > 0);
  max_length = int(std::min<size_t>(size_t(max_length), buffer_.size() - pos));
  uint32_t* smaller_link = &children_[2 * (pos & kMask)];
  uint32_t* greater_link = smaller_link + 1;
  if (max_length < 4) {
    *smaller_link = *greater_link = 0;
    return 0;
  }
  const uint8_t* here = buffer_.data() + pos;
  // Positions come one after another: the next root is fetched from memory
  // while this descent runs.
  if (max_length > 4) __builtin_prefetch(&head_[hash4(here + 1, kHashBits)]);
  uint32_t cutoff = pos > kWindowSize ? pos - kWindowSize : 0;  // distances below the window size
  int found = 0;
  int best = kMinMatch - 1;

  uint32_t& three = head3_[hash3(here, kHash3Bits)];
  if (kKeep && three > cutoff && pos - three <= kFarThreeLimit &&
      match_length(here, buffer_.data() + three, 3) == 3) {
    out[found++] = {3, pos - three};
    best = 3;
  }
  three = pos;

  uint32_t& root = head_[hash4(here, kHashBits)];
  uint32_t node = root;
  root = pos;
  int nice = std::min(nice_length_, max_length);
  // Both sides' common prefix with pos is known, so comparisons start at
  // the smaller of the two.
  int smaller_length = 0, greater_length = 0;
  for (int depth = max_depth; node > cutoff && depth > 0; --depth) {
    const uint8_t* there = buffer_.data() + node;
    int length = std::min(smaller_length, greater_length);
    length += match_length(here + length, there + length, max_length - length);
    if (kKeep && length > best && (length > 3 || pos - node <= kFarThreeLimit)) {
      best = length;
      out[found++] = {uint16_t(length), pos - node};
    }
    uint32_t* links = &children_[2 * (node & kMask)];
    if (length >= nice) {
      // pos takes node's place: node's subtrees become pos's.
      *smaller_link = links[0];
      *greater_link = links[1];
      return found;
    }
    if (there[length] < here[length]) {
      *smaller_link = node;
      smaller_link = &links[1];
      smaller_length = length;
      node = links[1];
    } else {
      *greater_link = node;
      greater_link = &links[0];
      greater_length = length;
      node = links[0];
    }
  }
  *smaller_link = *greater_link = 0;
  return found;
}

template int BinaryTrees::descend<true>(uint32_t, int, int, MatchCandidate*);
template int BinaryTrees::descend<false>(uint32_t, int, int, MatchCandidate*);

}  // namespace lume::codec
