// The compressor as a pipe: the same stream whatever the threads and the
// pieces the input comes in.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tools/lume/codec/decode.h"
#include "tools/lume/codec/stream_encoder.h"

namespace lume::codec {
namespace {

using Bytes = std::vector<uint8_t>;

// Random runs, each repeated now and then from up to 3 MiB back, so that
// matches cross the cuts between segments.
Bytes echoing_bytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    size_t run = 1000 + rng() % 60000;
    if (out.size() > run && rng() % 4 != 0) {
      size_t from = out.size() - run - rng() % std::min<size_t>(out.size() - run, 3 << 20);
      for (size_t k = 0; k < run; ++k) out.push_back(out[from + k]);
    } else {
      for (size_t k = 0; k < run; ++k) out.push_back(uint8_t(rng() % 16));
    }
  }
  out.resize(size);
  return out;
}

Bytes stream_of(const Bytes& data, EncodeOptions options, size_t piece) {
  Bytes stream;
  StreamEncoder encoder(options, [&](std::span<const uint8_t> bytes) {
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  });
  for (size_t at = 0; at < data.size(); at += piece)
    encoder.write(std::span(data).subspan(at, std::min(piece, data.size() - at)));
  encoder.finish();
  EXPECT_EQ(encoder.input_size(), data.size());
  return stream;
}

TEST(StreamEncoder, WritesTheSameStreamForAnyThreadsAndPieces) {
  // Segments smaller than the window, so that a segment's history reaches
  // over several of them and, early on, into the spaces before the input.
  Bytes data = echoing_bytes((size_t(4) << 20) + 12345, 1);
  EncodeOptions options;
  options.segment_size = 1 << 20;
  options.jobs = 1;
  Bytes first = stream_of(data, options, data.size());
  EXPECT_TRUE(decode_to_vector(first, uint32_t(data.size())) == data);
  struct Way {
    int jobs;
    size_t piece;
  } ways[] = {{2, 1 << 20}, {3, 4099}, {8, (size_t(1) << 20) + 1}};
  for (const Way& way : ways) {
    options.jobs = way.jobs;
    EXPECT_TRUE(stream_of(data, options, way.piece) == first)
        << way.jobs << " jobs, pieces of " << way.piece;
  }
}

TEST(StreamEncoder, CostsLittleRatioAtTheCuts) {
  Bytes data = echoing_bytes(size_t(8) << 20, 2);
  EncodeOptions options;
  options.level = kFastestLevel;
  options.segment_size = uint32_t(data.size());
  size_t whole = encode(data, options).size();
  options.segment_size = uint32_t(2) << 20;
  size_t cut = encode(data, options).size();
  EXPECT_LT(double(cut), double(whole) * 1.002) << whole << " in one segment";
}

// The bound on memory: a caller that writes faster than the threads encode
// waits, so that no more than two segments per thread are in hand.
TEST(StreamEncoder, HoldsAtMostTwoSegmentsPerThread) {
  Bytes data = echoing_bytes(size_t(8) << 20, 4);
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

// A build that fails while the threads work (a source file changed) drops
// its encoder: that must end the threads, not wait for them forever.
TEST(StreamEncoder, EndsItsThreadsWhenDroppedHalfway) {
  Bytes data = echoing_bytes(size_t(3) << 20, 3);
  EncodeOptions options;
  options.segment_size = 1 << 20;
  options.jobs = 2;
  StreamEncoder encoder(options, [](std::span<const uint8_t>) {});
  encoder.write(data);
}

}  // namespace
}  // namespace lume::codec
