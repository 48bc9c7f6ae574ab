// Near-optimal parsing: the matches of every position of a stretch are
// found once; then, for prices taken from a block's own statistics, the
// cheapest path through literals and every usable match length is found by
// a backward pass. Parsing again with the prices of the previous result
// converges within a few rounds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/lume/codec/binary_trees.h"
#include "tools/lume/codec/prices.h"
#include "tools/lume/codec/token.h"

namespace lume::codec {

class OptimalParser {
 public:
  explicit OptimalParser(std::span<const uint8_t> buffer) : buffer_(buffer) {}

  // Finds the matches of positions begin to end - 1 (none longer than
  // reaches limit), replacing those found before. The trees must hold the
  // positions before begin. After a match of skip_length or more, the
  // positions it covers are not searched: they keep its rest.
  void find_matches(BinaryTrees& trees, uint32_t begin, uint32_t end, uint32_t limit,
                    int skip_length);

  // Appends the cheapest tokens for positions from to to - 1, a stretch
  // within the one last found, under prices.
  void parse(uint32_t from, uint32_t to, const Prices& prices, std::vector<Token>& out);

 private:
  std::span<const uint8_t> buffer_;
  uint32_t begin_ = 0;
  std::vector<uint32_t> first_match_;  // per position, and one more: index into matches_
  std::vector<MatchCandidate> matches_;

  // The backward pass: per position, the price of the rest and the step
  // that achieves it.
  std::vector<uint32_t> price_;
  std::vector<uint16_t> step_length_;  // 1: a literal
  std::vector<uint32_t> step_distance_;
};

}  // namespace lume::codec
