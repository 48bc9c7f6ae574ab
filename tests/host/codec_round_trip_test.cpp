// Whole streams from the compressor, decoded by the stub's decoder.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/random_bytes.h"
#include "tools/lume/codec/decode.h"
#include "tools/lume/codec/encoder.h"
#include "tools/lume/codec/stream_encoder.h"
#include "tools/lume/codec/stream_format.h"

namespace lume::codec {
namespace {

using Bytes = std::vector<uint8_t>;

// Words drawn with a skewed distribution, so that matches are short and
// near and literals are far from uniform.
Bytes text_bytes(size_t size, uint32_t seed) {
  static const char* const words[] = {"the ",   "stream ", "window ", "of ",    "block ",
                                      "code\n", "and ",    "match ",  "length ", "a ",
                                      "slot, ", "bytes ",  "in ",     "to ",     "Huffman. "};
  std::mt19937 rng(seed);
  std::geometric_distribution<int> pick(0.25);
  Bytes out;
  while (out.size() < size) {
    const char* w = words[size_t(pick(rng)) % std::size(words)];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(size);
  return out;
}

// Records of little-endian fields with mostly-zero high bytes, like the
// tables of an executable.
Bytes record_bytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  uint32_t address = 0x401000;
  while (out.size() < size) {
    address += rng() % 64;
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(address >> (8 * i)));
    out.push_back(uint8_t(rng() % 4));
    out.push_back(0);
  }
  out.resize(size);
  return out;
}

void expect_round_trip(const Bytes& data, int level) {
  EncodeOptions options;
  options.level = level;
  Bytes stream = encode(data, options);
  Bytes back = decode_to_vector(stream, uint32_t(data.size()));
  ASSERT_EQ(back.size(), data.size()) << "level " << level;
  EXPECT_TRUE(back == data) << "level " << level;
}

class EveryLevel : public ::testing::TestWithParam<int> {};

TEST_P(EveryLevel, RoundTripsEmptyAndTinyInputs) {
  expect_round_trip({}, GetParam());
  expect_round_trip({'x'}, GetParam());
  expect_round_trip({'a', 'b'}, GetParam());
  expect_round_trip({'a', 'a', 'a', 'a', 'a', 'a', 'a'}, GetParam());
  expect_round_trip({0, 255, 0, 255, 0}, GetParam());
}

TEST_P(EveryLevel, RoundTripsRandomTextAndBinaryInputs) {
  expect_round_trip(lume_test::random_bytes<Bytes>(300000, 1), GetParam());
  expect_round_trip(text_bytes(500000, 2), GetParam());
  expect_round_trip(record_bytes(400000, 3), GetParam());
}

TEST_P(EveryLevel, CompressesRedundantInputWell) {
  Bytes text = text_bytes(200000, 4);
  EncodeOptions options;
  options.level = GetParam();
  // Literals alone would need over 3 bits a byte.
  EXPECT_LT(encode(text, options).size(), text.size() / 4);
  Bytes zeros(1000000, 0);
  EXPECT_LT(encode(zeros, options).size(), 2000u);
}

TEST_P(EveryLevel, KeepsRandomInputNearItsSize) {
  Bytes noise = lume_test::random_bytes<Bytes>(200000, 5);
  EncodeOptions options;
  options.level = GetParam();
  EXPECT_LT(encode(noise, options).size(), noise.size() + noise.size() / 100);
}

// Random bytes with a stretch repeated from almost a whole window back, so
// only a match of the farthest slots can find it, and decoding wraps the
// window.
TEST_P(EveryLevel, RoundTripsMatchesAcrossTheWholeWindow) {
  constexpr size_t kRepeat = 300000, kFrom = 1000;
  Bytes data = lume_test::random_bytes<Bytes>(kWindowSize + 2 * kRepeat, 8);
  std::copy_n(data.begin() + kFrom, kRepeat, data.begin() + kFrom + kWindowSize - 1);
  EncodeOptions options;
  options.level = GetParam();
  Bytes stream = encode(data, options);
  EXPECT_LT(stream.size(), data.size() - kRepeat * 9 / 10);
  EXPECT_TRUE(decode_to_vector(stream, uint32_t(data.size())) == data);
}

// Cut into segments smaller than the window, each encoded with the window
// before it as history: matches reach back across the cuts, also past a
// whole segment. The stream is the same for any threads and input pieces.
TEST_P(EveryLevel, RoundTripsAnInputCutIntoSegments) {
  Bytes once = lume_test::random_bytes<Bytes>(size_t(1) << 20, 9);
  Bytes data;
  for (int copy = 0; copy < 4; ++copy) data.insert(data.end(), once.begin(), once.end());
  data.resize(data.size() + 1000, 'z');
  EncodeOptions options;
  options.level = GetParam();
  options.segment_size = uint32_t(3) << 19;
  options.jobs = 1;
  Bytes stream = encode(data, options);
  EXPECT_LT(stream.size(), once.size() + once.size() / 20);
  EXPECT_TRUE(decode_to_vector(stream, uint32_t(data.size())) == data);

  options.jobs = 3;
  Bytes again;
  StreamEncoder encoder(options, [&](std::span<const uint8_t> bytes) {
    again.insert(again.end(), bytes.begin(), bytes.end());
  });
  for (size_t at = 0; at < data.size(); at += 4099)
    encoder.write(std::span(data).subspan(at, std::min<size_t>(4099, data.size() - at)));
  encoder.finish();
  EXPECT_TRUE(again == stream);
}

INSTANTIATE_TEST_SUITE_P(Levels, EveryLevel, ::testing::Range(kFastestLevel, kMaxLevel + 1));

TEST(Encoder, EndsTheStreamWithAnEndMarker) {
  Bytes data = text_bytes(10000, 6);
  Bytes stream = encode(data);
  // Asked for more than there is, the decoder stops at the marker.
  Bytes back = decode_to_vector(stream, uint32_t(data.size() + 1000));
  EXPECT_TRUE(back == data);
  EXPECT_EQ(encode({}), (Bytes{0, 0}));
}

TEST(Encoder, UsesThePresetSpacesBeforeTheFirstByte) {
  Bytes spaces(256, ' ');
  Bytes stream = encode(spaces);
  // One match back into the preset window: far less than 256 literals.
  EXPECT_LT(stream.size(), 12u);
  EXPECT_TRUE(decode_to_vector(stream, 256) == spaces);
}

// The bound on memory: a caller that writes faster than the threads encode
// waits, so that no more than two segments per thread are in hand.
TEST(Encoder, HoldsAtMostTwoSegmentsPerThread) {
  Bytes data = lume_test::random_bytes<Bytes>(size_t(6) << 20, 10);
  for (int jobs : {1, 2}) {
    EncodeOptions options;
    options.level = kFastestLevel;
    options.segment_size = 1 << 20;
    options.jobs = jobs;
    uint64_t done = 0;
    options.progress = [&](uint64_t bytes) { done = bytes; };
    StreamEncoder encoder(options, [](std::span<const uint8_t>) {});
    encoder.write(data);
    EXPECT_GE(done, data.size() - uint64_t(2 * jobs) * options.segment_size) << jobs;
  }
}

TEST(Encoder, ReportsMonotonicProgressUpToTheWholeInput) {
  Bytes data = record_bytes(3000000, 7);
  std::vector<uint64_t> seen;
  EncodeOptions options;
  options.progress = [&](uint64_t done) { seen.push_back(done); };
  encode(data, options);
  ASSERT_FALSE(seen.empty());
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_LE(seen[i - 1], seen[i]);
  EXPECT_EQ(seen.back(), data.size());
}

}  // namespace
}  // namespace lume::codec
