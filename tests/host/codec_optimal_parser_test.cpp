#include "tools/lume/codec/optimal_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace lume::codec {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes repetitive_bytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    if (out.size() > 50 && rng() % 4 == 0) {
      size_t from = out.size() - 1 - rng() % 50, length = 3 + rng() % 40;
      for (size_t i = 0; i < length; ++i) out.push_back(out[from + i]);
    } else {
      out.push_back(uint8_t('a' + rng() % 4));
    }
  }
  out.resize(size);
  return out;
}

// Prices under which only lengths matter: every distance costs the same.
Prices length_only_prices(uint32_t seed) {
  std::mt19937 rng(seed);
  Prices prices;
  for (uint32_t& p : prices.literal) p = 60 + rng() % 100;
  for (int l = kMinMatch; l <= kMaxMatch; ++l) prices.length[size_t(l)] = 50 + rng() % 200;
  prices.slot.fill(90);
  return prices;
}

uint64_t price_of(const std::vector<Token>& tokens, const Prices& prices) {
  uint64_t sum = 0;
  for (const Token& t : tokens)
    sum += t.is_match() ? prices.match(token_length(t), token_distance(t)) : prices.literal[t.symbol];
  return sum;
}

// The cheapest price for positions from to to - 1 when any match up to the
// longest one at a position may be taken at any length.
uint64_t cheapest_price(const Bytes& buffer, uint32_t from, uint32_t to, const Prices& prices) {
  std::vector<uint64_t> best(to - from + 1, UINT64_MAX);
  best[0] = 0;
  for (uint32_t pos = from; pos < to; ++pos) {
    uint64_t here = best[pos - from];
    best[pos - from + 1] = std::min(best[pos - from + 1], here + prices.literal[buffer[pos]]);
    int longest = 0;
    for (uint32_t c = 1; c < pos; ++c) {
      int length = 0;
      while (length < kMaxMatch && pos + uint32_t(length) < to && buffer[c + size_t(length)] == buffer[pos + size_t(length)])
        ++length;
      longest = std::max(longest, length);
    }
    for (int l = kMinMatch; l <= longest; ++l)
      best[pos - from + size_t(l)] = std::min(best[pos - from + size_t(l)], here + prices.length[size_t(l)] + 90);
  }
  return best.back();
}

TEST(OptimalParser, SpellsTheInputExactly) {
  Bytes buffer = repetitive_bytes(20000, 1);
  BinaryTrees trees(buffer, 64, kMaxMatch);
  OptimalParser parser(buffer);
  parser.find_matches(trees, 1, uint32_t(buffer.size()), uint32_t(buffer.size()), kMaxMatch);
  std::vector<Token> tokens;
  parser.parse(5000, 15000, initial_prices(), tokens);
  Bytes spelled(buffer.begin(), buffer.begin() + 5000);
  for (const Token& t : tokens) {
    if (!t.is_match()) {
      spelled.push_back(uint8_t(t.symbol));
      continue;
    }
    for (int i = 0; i < token_length(t); ++i) spelled.push_back(spelled[spelled.size() - token_distance(t)]);
  }
  ASSERT_EQ(spelled.size(), 15000u);
  EXPECT_TRUE(std::equal(spelled.begin(), spelled.end(), buffer.begin()));
}

TEST(OptimalParser, FindsTheCheapestPathUnderItsPrices) {
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    Bytes buffer = repetitive_bytes(1500, seed);
    BinaryTrees trees(buffer, 100000, kMaxMatch);
    OptimalParser parser(buffer);
    uint32_t end = uint32_t(buffer.size());
    parser.find_matches(trees, 1, end, end, kMaxMatch);
    Prices prices = length_only_prices(seed);
    std::vector<Token> tokens;
    parser.parse(700, 1400, prices, tokens);
    EXPECT_EQ(price_of(tokens, prices), cheapest_price(buffer, 700, 1400, prices)) << "seed " << seed;
  }
}

// "wxyzAB" stands far back, "wxyz" near: one long far match, or a short
// near one and two literals, whichever the prices make cheaper.
TEST(OptimalParser, WeighsDistancesByTheirPrices) {
  Bytes buffer(3000, 'q');
  const char* text = "wxyzAB";
  std::copy(text, text + 6, buffer.begin() + 10);
  std::copy(text, text + 4, buffer.begin() + 2980);
  std::copy(text, text + 6, buffer.begin() + 2990);
  BinaryTrees trees(buffer, 64, kMaxMatch);
  OptimalParser parser(buffer);
  parser.find_matches(trees, 1, 3000, 3000, kMaxMatch);

  Prices prices;
  prices.literal.fill(100);
  prices.length.fill(100);
  prices.slot.fill(100);
  std::vector<Token> tokens;
  parser.parse(2990, 2996, prices, tokens);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(token_distance(tokens[0]), 2980u);

  prices.slot[size_t(distance_slot(2980))] = 2000;
  tokens.clear();
  parser.parse(2990, 2996, prices, tokens);
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(token_distance(tokens[0]), 10u);
  EXPECT_EQ(token_length(tokens[0]), 4);
}

}  // namespace
}  // namespace lume::codec
