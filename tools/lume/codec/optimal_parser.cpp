#include "tools/lume/codec/optimal_parser.h"

#include <algorithm>
#include <cassert>

namespace lume::codec {

void OptimalParser::find_matches(BinaryTrees& trees, uint32_t begin, uint32_t end,
                                 uint32_t limit, int skip_length) {
  begin_ = begin;
  first_match_.assign(size_t(end - begin) + 1, 0);
  matches_.clear();
  MatchCandidate found[BinaryTrees::kMaxMatches];
  uint32_t pos = begin;
  while (pos < end) {
    int max_length = int(std::min<uint32_t>(kMaxMatch, limit - pos));
    first_match_[pos - begin] = uint32_t(matches_.size());
    int count = trees.find(pos, max_length, found);
    matches_.insert(matches_.end(), found, found + count);
    ++pos;
    if (count == 0 || found[count - 1].length < skip_length) continue;
    MatchCandidate longest = found[count - 1];
    for (int k = 1; k < longest.length && pos < end; ++k, ++pos) {
      first_match_[pos - begin] = uint32_t(matches_.size());
      trees.skip(pos, int(std::min<uint32_t>(kMaxMatch, limit - pos)));
      if (longest.length - k >= kMinMatch)
        matches_.push_back({uint16_t(longest.length - k), longest.distance});
    }
  }
  first_match_[end - begin] = uint32_t(matches_.size());
}

void OptimalParser::parse(uint32_t from, uint32_t to, const Prices& prices,
                          std::vector<Token>& out) {
  assert(from >= begin_ && to - begin_ < first_match_.size());
  size_t n = to - from;
  price_.assign(n + 1, 0);
  step_length_.resize(n + 1);
  step_distance_.resize(n + 1);
  const uint8_t* bytes = buffer_.data() + from;

  for (size_t i = n; i-- > 0;) {
    uint32_t best = price_[i + 1] + prices.literal[bytes[i]];
    uint16_t best_length = 1;
    uint32_t best_distance = 0;
    uint32_t at = from + uint32_t(i) - begin_;
    int room = int(std::min<size_t>(n - i, kMaxMatch));
    int shorter = kMinMatch - 1;  // lengths up to here were priced with an earlier match
    const uint32_t* after = &price_[i];
    for (uint32_t m = first_match_[at]; m < first_match_[at + 1] && shorter < room; ++m) {
      const MatchCandidate& match = matches_[m];
      int longest = std::min<int>(match.length, room);
      // A plain minimum first, which the compiler vectorises; the length
      // that gives it is looked for only when it wins.
      uint32_t cheapest = UINT32_MAX;
      for (int length = shorter + 1; length <= longest; ++length)
        cheapest = std::min(cheapest, after[length] + prices.length[size_t(length)]);
      uint32_t price = cheapest + prices.distance(match.distance);
      if (price < best) {
        best = price;
        best_distance = match.distance;
        // Usually the whole match wins, so look from its end.
        best_length = uint16_t(longest);
        while (after[best_length] + prices.length[best_length] != cheapest) --best_length;
      }
      shorter = longest;
    }
    price_[i] = best;
    step_length_[i] = best_length;
    step_distance_[i] = best_distance;
  }

  for (size_t i = 0; i < n;) {
    if (step_length_[i] == 1)
      out.push_back(literal_token(bytes[i]));
    else
      out.push_back(match_token(step_length_[i], step_distance_[i]));
    i += step_length_[i];
  }
}

}  // namespace lume::codec
