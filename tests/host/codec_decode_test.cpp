#include "tools/lume/codec/decode.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tools/lume/base/error.h"
#include "tools/lume/codec/encoder.h"
#include "tools/lume/codec/stream_format.h"

namespace lume::codec {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes sample(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    uint8_t byte = uint8_t(rng() % 40);
    for (int n = 1 + int(rng() % 6); n > 0; --n) out.push_back(byte);
  }
  out.resize(size);
  return out;
}

StreamStatus status_of(const Bytes& stream, uint32_t size) {
  return decode_checked(stream, size, [](std::span<const uint8_t>) {});
}

TEST(Decode, AcceptsAStreamWithOrWithoutItsEndMarker) {
  Bytes data = sample(20000, 1);
  Bytes stream = encode(data);
  EXPECT_EQ(status_of(stream, 20000), StreamStatus::intact);
  stream.resize(stream.size() - 2);
  EXPECT_EQ(status_of(stream, 20000), StreamStatus::intact);
  EXPECT_TRUE(decode_to_vector(stream, 20000) == data);
}

TEST(Decode, ReportsAStreamCutAnywhereBeforeItsEnd) {
  Bytes data = sample(3000, 2);
  Bytes stream = encode(data);
  // Without its last three bytes a stream has lost bits the decoder uses.
  for (size_t keep = 0; keep + 3 <= stream.size(); ++keep) {
    Bytes cut(stream.begin(), stream.begin() + std::ptrdiff_t(keep));
    EXPECT_NE(status_of(cut, 3000), StreamStatus::intact) << "kept " << keep;
  }
  EXPECT_THROW(decode_to_vector(Bytes(stream.begin(), stream.end() - 3), 3000), Error);
}

TEST(Decode, ReportsCorruptTables) {
  // Block size 5, then a length-code count of 31: more than 19 symbols.
  Bytes stream = {0x00, 0x05, 0xF8, 0x00, 0x00, 0x00};
  EXPECT_EQ(status_of(stream, 5), StreamStatus::corrupt_tables);
  EXPECT_FALSE(decode(stream, 5, [](std::span<const uint8_t>) {}));
  EXPECT_THROW(decode_to_vector(stream, 5), Error);
}

TEST(Decode, HandsOnWholeWindowsThenTheRest) {
  Bytes data = sample(2 * kWindowSize + 12345, 3);
  Bytes stream = encode(data, {.level = kFastestLevel, .progress = {}});
  std::vector<size_t> chunks;
  Bytes back;
  EXPECT_TRUE(decode(stream, uint32_t(data.size()), [&](std::span<const uint8_t> chunk) {
    chunks.push_back(chunk.size());
    back.insert(back.end(), chunk.begin(), chunk.end());
  }));
  EXPECT_EQ(chunks, (std::vector<size_t>{kWindowSize, kWindowSize, 12345}));
  EXPECT_TRUE(back == data);
}

}  // namespace
}  // namespace lume::codec
