#include "tools/lume/codec/huffman_lengths.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <queue>
#include <random>
#include <vector>

namespace lume::codec {
namespace {

std::vector<uint8_t> lengths_for(const std::vector<uint32_t>& freqs, int limit) {
  std::vector<uint8_t> lengths(freqs.size());
  limited_code_lengths(freqs, limit, lengths);
  return lengths;
}

uint64_t cost(const std::vector<uint32_t>& freqs, const std::vector<uint8_t>& lengths) {
  uint64_t sum = 0;
  for (size_t s = 0; s < freqs.size(); ++s) sum += uint64_t(freqs[s]) * lengths[s];
  return sum;
}

// Kraft sum of the used lengths, in units of 2^-16.
uint64_t kraft(const std::vector<uint8_t>& lengths) {
  uint64_t sum = 0;
  for (uint8_t l : lengths)
    if (l != 0) sum += uint64_t(1) << (16 - l);
  return sum;
}

// The cost of an unlimited Huffman code, from the textbook merge of the two
// lightest weights.
uint64_t huffman_cost(const std::vector<uint32_t>& freqs) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> heap;
  for (uint32_t f : freqs)
    if (f != 0) heap.push(f);
  uint64_t total = 0;
  while (heap.size() > 1) {
    uint64_t a = heap.top();
    heap.pop();
    uint64_t b = heap.top();
    heap.pop();
    total += a + b;
    heap.push(a + b);
  }
  return total;
}

// The cheapest complete code within limit, by trying every assignment.
uint64_t brute_force_cost(const std::vector<uint32_t>& freqs, int limit) {
  std::vector<uint8_t> lengths(freqs.size(), 1);
  uint64_t best = UINT64_MAX;
  std::function<void(size_t)> visit = [&](size_t s) {
    if (s == freqs.size()) {
      if (kraft(lengths) == 65536) best = std::min(best, cost(freqs, lengths));
      return;
    }
    for (int l = 1; l <= limit; ++l) {
      lengths[s] = uint8_t(l);
      visit(s + 1);
    }
  };
  visit(0);
  return best;
}

TEST(HuffmanLengths, MatchesHuffmanWhenTheLimitDoesNotBind) {
  std::mt19937 rng(11);
  for (int round = 0; round < 50; ++round) {
    std::vector<uint32_t> freqs(2 + rng() % 300);
    for (uint32_t& f : freqs) f = rng() % 4 == 0 ? 0 : 1 + rng() % 1000;
    freqs[0] = freqs[1] = 5;
    std::vector<uint8_t> lengths = lengths_for(freqs, 16);
    EXPECT_EQ(cost(freqs, lengths), huffman_cost(freqs));
    EXPECT_EQ(kraft(lengths), 65536u);
  }
}

TEST(HuffmanLengths, IsTheCheapestCodeWithinATightLimit) {
  std::mt19937 rng(12);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint32_t> freqs(3 + rng() % 5);
    for (uint32_t& f : freqs) f = 1 + rng() % (round % 2 ? 10 : 100000);
    int limit = 3 + round % 2;
    std::vector<uint8_t> lengths = lengths_for(freqs, limit);
    EXPECT_EQ(cost(freqs, lengths), brute_force_cost(freqs, limit));
  }
}

TEST(HuffmanLengths, KeepsSkewedFrequenciesWithinSixteenBits) {
  // Fibonacci weights would give a plain Huffman code of depth 39.
  std::vector<uint32_t> freqs(40);
  freqs[0] = freqs[1] = 1;
  for (size_t s = 2; s < freqs.size(); ++s) freqs[s] = std::min<uint64_t>(freqs[s - 1] + freqs[s - 2], UINT32_MAX / 4);
  std::vector<uint8_t> lengths = lengths_for(freqs, 16);
  EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), 16);
  EXPECT_EQ(kraft(lengths), 65536u);
  // The full alphabet of 510 symbols still fits.
  std::vector<uint32_t> all(510, 1);
  all[0] = 1u << 30;
  std::vector<uint8_t> wide = lengths_for(all, 16);
  EXPECT_EQ(kraft(wide), 65536u);
  EXPECT_LE(*std::max_element(wide.begin(), wide.end()), 16);
}

TEST(HuffmanLengths, GivesUnusedSymbolsNoCodeAndALoneSymbolOneBit) {
  EXPECT_EQ(lengths_for({0, 0, 0}, 16), (std::vector<uint8_t>{0, 0, 0}));
  EXPECT_EQ(lengths_for({0, 7, 0}, 16), (std::vector<uint8_t>{0, 1, 0}));
  EXPECT_EQ(lengths_for({9, 0, 1}, 16), (std::vector<uint8_t>{1, 0, 1}));
}

TEST(CanonicalCodes, AssignsShorterCodesFirstThenSymbolOrder) {
  std::vector<uint8_t> lengths = {3, 2, 0, 3, 2, 2};
  std::vector<uint16_t> codes(lengths.size());
  canonical_codes(lengths, codes);
  // Length 2: symbols 1, 4, 5 get 00, 01, 10; length 3: symbols 0, 3 get 110, 111.
  EXPECT_EQ(codes, (std::vector<uint16_t>{6, 0, 0, 7, 1, 2}));
}

}  // namespace
}  // namespace lume::codec
