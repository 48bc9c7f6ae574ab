// Blocks written from hand-picked tokens, read back by the stub's decoder:
// every form of code table the writer chooses must decode as meant.
#include "tools/lume/codec/block_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tools/lume/codec/decode.h"

namespace lume::codec {
namespace {

using Bytes = std::vector<uint8_t>;

// A match given by its slot and extra bits, which reaches slot 44 too: its
// distances exceed the window and wrap around it, so the encoder never
// makes one.
Token match_token_in_slot(int length, int slot, uint32_t extra) {
  return Token{uint16_t(length_symbol(length)), uint8_t(slot), extra};
}

// What tokens stand for, by the format's rules: matches copy from the
// output's history, taken modulo the window, and before the first byte
// from the window's initial spaces.
Bytes expand(const std::vector<Token>& tokens) {
  Bytes out;
  for (const Token& token : tokens) {
    if (!token.is_match()) {
      out.push_back(uint8_t(token.symbol));
      continue;
    }
    uint64_t back = (uint64_t(token_distance(token)) - 1) % kWindowSize + 1;
    for (int i = 0; i < token_length(token); ++i)
      out.push_back(out.size() >= back ? out[out.size() - back] : uint8_t(kWindowFill));
  }
  return out;
}

Bytes stream_of(const std::vector<Token>& tokens) {
  BitWriter out;
  for (size_t at = 0; at < tokens.size(); at += kMaxBlockSymbols) {
    size_t count = std::min<size_t>(kMaxBlockSymbols, tokens.size() - at);
    write_block(out, std::span<const Token>(tokens).subspan(at, count));
  }
  write_end(out);
  return std::move(out).finish();
}

void expect_decodes(const std::vector<Token>& tokens) {
  Bytes expected = expand(tokens);
  Bytes decoded = decode_to_vector(stream_of(tokens), uint32_t(expected.size()));
  ASSERT_EQ(decoded.size(), expected.size());
  EXPECT_TRUE(decoded == expected);
}

SymbolStats stats_of(const std::vector<Token>& tokens) {
  SymbolStats stats;
  stats.add(tokens);
  return stats;
}

// Literal tokens with the given counts per byte value, shuffled.
std::vector<Token> literals(const std::vector<std::pair<uint8_t, int>>& counts, uint32_t seed) {
  std::vector<Token> tokens;
  for (auto [byte, count] : counts)
    for (int i = 0; i < count; ++i) tokens.push_back(literal_token(byte));
  std::shuffle(tokens.begin(), tokens.end(), std::mt19937(seed));
  return tokens;
}

TEST(BlockWriter, WritesABlockOfOneLiteralInSingleSymbolForms) {
  std::vector<Token> tokens(3, literal_token('a'));
  BitWriter out;
  write_block(out, tokens);
  // Size 3; length code: count 0, symbol 0; literal/length code: count 0,
  // symbol 0x61; position slots: count 0, slot 0; symbols of no bits.
  EXPECT_EQ(std::move(out).finish(), (Bytes{0x00, 0x03, 0x00, 0x00, 0x06, 0x10, 0x00, 0x00, 0x00}));
}

TEST(BlockWriter, SendsOneSlotOrOneMatchSymbolInSingleSymbolForm) {
  std::vector<Token> one_slot = {literal_token('a'), literal_token('b'), match_token(4, 2),
                                 match_token(9, 2), literal_token('c'), match_token(4, 2)};
  CodeTables tables = build_code_tables(stats_of(one_slot));
  EXPECT_TRUE(std::all_of(tables.slot_lengths.begin(), tables.slot_lengths.end(),
                          [](uint8_t l) { return l == 0; }));
  expect_decodes(one_slot);

  // Only matches, all of one length: the literal/length code is a single
  // symbol, the slots are coded.
  std::vector<Token> one_symbol;
  for (uint32_t d = 1; d < 40; ++d) one_symbol.push_back(match_token(7, d));
  expect_decodes(one_symbol);
  // No matches at all: the slot table still says something valid.
  expect_decodes(literals({{'x', 5}, {'y', 3}}, 1));
}

TEST(BlockWriter, SendsTheLengthCodeAsOneSymbolWhenAllLengthsAreEqual) {
  // Every byte equally often: 256 codes of 8 bits, all sent as length-code
  // symbol 10, which then takes no bits. Header: length code 5 + 5 bits,
  // count 9 bits, slots 14 + 14 bits.
  std::vector<std::pair<uint8_t, int>> counts;
  for (int b = 0; b < 256; ++b) counts.push_back({uint8_t(b), 4});
  std::vector<Token> tokens = literals(counts, 8);
  EXPECT_EQ(build_code_tables(stats_of(tokens)).header_bits, 47u);
  expect_decodes(tokens);
}

TEST(BlockWriter, CopiesFromThePresetSpacesAndRepeatsRecentBytes) {
  std::vector<Token> tokens = {match_token(5, 1000),  // spaces only
                               literal_token('a'), literal_token('b'),
                               match_token(10, 9),    // from before the first byte on into it
                               match_token(256, 1), match_token(256, 1), match_token(3, 2)};
  Bytes expected = expand(tokens);
  EXPECT_EQ(Bytes(expected.begin(), expected.begin() + 9), Bytes({' ', ' ', ' ', ' ', ' ', 'a', 'b', ' ', ' '}));
  expect_decodes(tokens);
}

// The gap field after the third length-code length skips the codes of
// lengths 1, 2 and 3 when the literal/length code has none of them.
TEST(BlockWriter, SendsEveryGapValue) {
  struct Case {
    std::vector<std::pair<uint8_t, int>> counts;
    uint8_t shortest;  // the shortest literal code: gap = shortest - 1, at most 3
  };
  auto equal = [](int count) {
    std::vector<std::pair<uint8_t, int>> counts;
    for (int b = 0; b < count; ++b) counts.push_back({uint8_t(b * 7), 10});
    return counts;
  };
  std::vector<Case> cases = {
      {{{'a', 100}, {'b', 10}, {'c', 10}, {'d', 5}}, 1},
      {equal(4), 2},
      {equal(8), 3},
      {equal(32), 5},
  };
  for (const Case& c : cases) {
    std::vector<Token> tokens = literals(c.counts, 2);
    CodeTables tables = build_code_tables(stats_of(tokens));
    uint8_t shortest = 16;
    for (uint8_t l : tables.symbol_lengths)
      if (l != 0) shortest = std::min(shortest, l);
    EXPECT_EQ(shortest, c.shortest);
    expect_decodes(tokens);
  }
}

TEST(BlockWriter, SendsZeroRunsWithBothRunSymbols) {
  // Used bytes 19 apart: 13 runs of 18 zero lengths. Symbol 0 alone would
  // need at least a bit per zero; symbol 1 (3 to 18 zeros) takes a run at once.
  std::vector<std::pair<uint8_t, int>> spaced;
  for (int b = 0; b < 256; b += 19) spaced.push_back({uint8_t(b), 3 + b % 7});
  std::vector<Token> tokens = literals(spaced, 3);
  EXPECT_LT(build_code_tables(stats_of(tokens)).header_bits, 13u * 18);
  expect_decodes(tokens);

  // Bytes 0 and 255 and a length of 200: runs of 254 and 197 zeros, each
  // one symbol 2 (20 to 531 zeros).
  std::vector<Token> far = literals({{0, 5}, {255, 4}}, 4);
  far.push_back(match_token(200, 1));
  EXPECT_LT(build_code_tables(stats_of(far)).header_bits, 100u);
  expect_decodes(far);
}

TEST(BlockWriter, DecodesCodesLongerThanTheLookupTables) {
  // Doubling counts give codes of up to 16 bits for literals and lengths,
  // and slot codes well beyond 8 bits.
  std::vector<Token> tokens;
  for (int s = 0; s < 17; ++s)
    for (int i = 0; i < (1 << s); ++i) tokens.push_back(literal_token(uint8_t(s + 'A')));
  for (int s = 0; s < 14; ++s)
    for (int i = 0; i < (1 << s); ++i)
      tokens.push_back(match_token(3 + s, slot_base(s) + 1));
  for (int s = 0; s < 10; ++s) tokens.push_back(match_token(200 + s, 1));
  std::shuffle(tokens.begin(), tokens.end(), std::mt19937(5));
  tokens.resize(kMaxBlockSymbols);
  CodeTables tables = build_code_tables(stats_of(tokens));
  EXPECT_EQ(*std::max_element(tables.symbol_lengths.begin(), tables.symbol_lengths.end()), 16);
  EXPECT_GT(*std::max_element(tables.slot_lengths.begin(), tables.slot_lengths.end()), 8);
  expect_decodes(tokens);
}

// A window's worth of literals, then matches from every slot with random
// extra bits. Slot 44's distances exceed the window and wrap around it.
TEST(BlockWriter, RoundTripsEveryPositionSlotWithItsExtraBits) {
  std::mt19937 rng(6);
  std::vector<Token> tokens;
  for (uint32_t i = 0; i < kWindowSize + 1000; ++i) tokens.push_back(literal_token(uint8_t(rng())));
  for (int round = 0; round < 3; ++round) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
      uint32_t extra = slot_extra_bits(slot) == 0 ? 0 : uint32_t(rng()) & ((1u << slot_extra_bits(slot)) - 1);
      if (slot == kSlotCount - 1) extra &= 0xFFFFF;  // keep the wrapped distance short
      Token match = match_token_in_slot(3 + int(rng() % 254), slot, extra);
      EXPECT_EQ(slot_base(slot) + extra + 1, token_distance(match));
      tokens.push_back(match);
      tokens.push_back(literal_token(uint8_t(rng())));
    }
  }
  expect_decodes(tokens);
}

// Blocks of random size drawn from random, often very skewed, sets of
// literals, lengths and slots: whatever the statistics, the tables decode.
TEST(BlockWriter, WritesDecodableTablesForAnyStatistics) {
  std::mt19937 rng(7);
  std::vector<Token> tokens;
  for (int block = 0; block < 300; ++block) {
    std::vector<Token> kinds;
    int literal_kinds = int(rng() % 40), match_kinds = int(rng() % 30);
    for (int i = 0; i < literal_kinds; ++i) kinds.push_back(literal_token(uint8_t(rng())));
    for (int i = 0; i < match_kinds; ++i) {
      int slot = int(rng() % kUsableSlotCount);
      uint32_t extra = uint32_t(rng()) & ((1u << slot_extra_bits(slot)) - 1);
      kinds.push_back(match_token_in_slot(3 + int(rng() % 254), slot, extra));
    }
    if (kinds.empty()) kinds.push_back(literal_token('k'));
    // Geometric weights: some kinds dominate, others appear once or never.
    std::geometric_distribution<size_t> pick(0.05 + 0.5 * double(rng() % 100) / 100.0);
    size_t count = 1 + rng() % (rng() % 4 == 0 ? kMaxBlockSymbols : 3000);
    for (size_t i = 0; i < count; ++i) tokens.push_back(kinds[pick(rng) % kinds.size()]);
  }
  expect_decodes(tokens);
}

TEST(BlockWriter, EndsTheStreamWithAZeroBlockSize) {
  BitWriter out;
  write_end(out);
  EXPECT_EQ(std::move(out).finish(), (Bytes{0, 0}));
}

}  // namespace
}  // namespace lume::codec
