// Both match finders against a brute-force search on inputs full of
// repeats: every match they report is real, and with depth enough they
// miss no better one of four or more bytes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/random_bytes.h"
#include "tools/lume/codec/binary_trees.h"
#include "tools/lume/codec/hash_chains.h"

namespace lume::codec {
namespace {

using Bytes = std::vector<uint8_t>;

// Three letters at random with pasted copies of earlier stretches.
Bytes repetitive_bytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    if (out.size() > 300 && rng() % 3 == 0) {
      size_t from = rng() % (out.size() - 300), length = 4 + rng() % 290;
      for (size_t i = 0; i < length; ++i) out.push_back(out[from + i]);
    } else {
      out.push_back(uint8_t('a' + rng() % 3));
    }
  }
  out.resize(size);
  return out;
}

int longest_match(const Bytes& buffer, uint32_t pos, int max_length, uint32_t first) {
  int best = 0;
  for (uint32_t c = first; c < pos; ++c) {
    int length = 0;
    while (length < max_length && buffer[c + size_t(length)] == buffer[pos + size_t(length)]) ++length;
    best = std::max(best, length);
  }
  return best;
}

bool is_real(const Bytes& buffer, uint32_t pos, int length, uint32_t distance) {
  return distance >= 1 && distance <= pos &&
         std::equal(buffer.begin() + pos, buffer.begin() + pos + length,
                    buffer.begin() + (pos - distance));
}

TEST(BinaryTrees, ReportRealMatchesGrowingToTheLongest) {
  Bytes buffer = repetitive_bytes(6000, 1);
  BinaryTrees trees(buffer, 100000, kMaxMatch);
  MatchCandidate found[BinaryTrees::kMaxMatches];
  for (uint32_t pos = 1; pos < buffer.size(); ++pos) {
    int max_length = int(std::min<size_t>(kMaxMatch, buffer.size() - pos));
    int count = trees.find(pos, max_length, found);
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(is_real(buffer, pos, found[i].length, found[i].distance)) << "at " << pos;
      if (i > 0) {
        ASSERT_GT(found[i].length, found[i - 1].length);
      }
    }
    int expected = longest_match(buffer, pos, max_length, 1);
    if (expected >= 4) {
      ASSERT_GT(count, 0) << "at " << pos;
      ASSERT_EQ(found[count - 1].length, expected) << "at " << pos;
    }
  }
}

TEST(BinaryTrees, StayConsistentWhenPositionsAreSkipped) {
  Bytes buffer = repetitive_bytes(6000, 2);
  BinaryTrees trees(buffer, 100000, 32);
  MatchCandidate found[BinaryTrees::kMaxMatches];
  for (uint32_t pos = 1; pos < buffer.size(); ++pos) {
    int max_length = int(std::min<size_t>(kMaxMatch, buffer.size() - pos));
    if (pos % 3 == 0) {
      trees.skip(pos, max_length);
      continue;
    }
    int count = trees.find(pos, max_length, found);
    for (int i = 0; i < count; ++i)
      ASSERT_TRUE(is_real(buffer, pos, found[i].length, found[i].distance)) << "at " << pos;
    // A search stops at the first match of nice_length (32).
    int expected = std::min(32, longest_match(buffer, pos, max_length, 1));
    if (expected >= 4) {
      ASSERT_GT(count, 0) << "at " << pos;
      ASSERT_GE(found[count - 1].length, expected) << "at " << pos;
    }
  }
}

// The highest worth among matches of four or more bytes, brute force.
int best_worth(const Bytes& buffer, uint32_t pos, int max_length) {
  int best = INT32_MIN;
  for (uint32_t c = 0; c < pos; ++c) {
    int length = 0;
    while (length < max_length && buffer[c + size_t(length)] == buffer[pos + size_t(length)]) ++length;
    if (length >= 4) best = std::max(best, match_worth({length, pos - c}));
  }
  return best;
}

TEST(HashChains, FindTheMostWorthwhileMatch) {
  Bytes buffer = repetitive_bytes(6000, 3);
  HashChains chains(buffer, 100000, kMaxMatch);
  for (uint32_t pos = 0; pos < buffer.size(); ++pos) {
    int max_length = int(std::min<size_t>(kMaxMatch, buffer.size() - pos));
    Match match = chains.find(pos, max_length);
    if (match.length != 0) {
      ASSERT_TRUE(is_real(buffer, pos, match.length, match.distance));
      ASSERT_GT(match_worth(match), 0);
    }
    int expected = best_worth(buffer, pos, max_length);
    if (expected > 0 && max_length >= 4) {
      ASSERT_NE(match.length, 0) << "at " << pos;
      ASSERT_GE(match_worth(match), expected) << "at " << pos;
    }
  }
}

TEST(HashChains, PreferANearMatchToASlightlyLongerFarOne) {
  Bytes buffer = lume_test::random_bytes<Bytes>(200000, 5);
  const char* far = "abcdefghi";
  std::copy(far, far + 9, buffer.begin() + 10);      // 9 bytes, some 190000 back
  std::copy(far, far + 8, buffer.begin() + 199900);  // 8 bytes, 90 back
  std::copy(far, far + 9, buffer.begin() + 199990);
  HashChains chains(buffer, 100000, kMaxMatch);
  chains.insert(0, 199990);
  Match match = chains.find(199990, kMaxMatch);
  EXPECT_EQ(match.length, 8);
  EXPECT_EQ(match.distance, 90u);
}

TEST(HashChains, ReachOnlyWhatWasInserted) {
  Bytes buffer = repetitive_bytes(3000, 4);
  std::copy_n(buffer.begin(), 500, buffer.begin() + 2000);
  HashChains chains(buffer, 100000, kMaxMatch);
  // Positions 0 to 999 are never added: the copy at 2000 cannot be found
  // there, only what the positions from 1000 on hold.
  chains.insert(1000, 2000);
  Match match = chains.find(2000, kMaxMatch);
  EXPECT_TRUE(match.length == 0 || match.distance <= 1000);
  if (match.length != 0) {
    EXPECT_TRUE(is_real(buffer, 2000, match.length, match.distance));
  }
}

}  // namespace
}  // namespace lume::codec
