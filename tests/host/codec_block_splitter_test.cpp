#include "tools/lume/codec/block_splitter.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

namespace lume::codec {
namespace {

std::vector<Token> literals_from(uint8_t low, int spread, size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Token> tokens;
  for (size_t i = 0; i < count; ++i) tokens.push_back(literal_token(uint8_t(low + rng() % spread)));
  return tokens;
}

TEST(BlockSplitter, CutsWhereTheStatisticsChange) {
  std::vector<Token> tokens = literals_from(0, 8, 20000, 1);
  std::vector<Token> second = literals_from(128, 128, 20000, 2);
  tokens.insert(tokens.end(), second.begin(), second.end());
  EXPECT_EQ(split_into_blocks(tokens, 1000), (std::vector<uint32_t>{20000, 20000}));
}

TEST(BlockSplitter, KeepsAlikeTokensTogether) {
  std::vector<Token> tokens = literals_from(0, 64, 50000, 3);
  EXPECT_EQ(split_into_blocks(tokens, 1000), (std::vector<uint32_t>{50000}));
}

TEST(BlockSplitter, KeepsEveryBlockWithinTheSizeField) {
  std::vector<Token> tokens = literals_from(0, 64, 300001, 4);
  for (uint32_t granule : {1000u, 4096u, 65535u}) {
    std::vector<uint32_t> sizes = split_into_blocks(tokens, granule);
    EXPECT_EQ(std::accumulate(sizes.begin(), sizes.end(), size_t(0)), tokens.size());
    for (uint32_t size : sizes) {
      EXPECT_GE(size, 1u);
      EXPECT_LE(size, kMaxBlockSymbols);
    }
  }
  EXPECT_TRUE(split_into_blocks({}, 1000).empty());
}

}  // namespace
}  // namespace lume::codec
