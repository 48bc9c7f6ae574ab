// The compressor as a pipe: the same stream whatever the threads and the
// pieces the input comes in, in bounded memory.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tools/lume/codec/decode.h"
#include "tools/lume/codec/stream_encoder.h"

namespace lume::codec {
namespace {

using Bytes = std::vector<uint8_t>;

// Pieces of a pool of random ones in random order: long matches, near and
// far, quickly found.
Bytes pieces_of_a_pool(size_t size) {
  std::mt19937 rng(1);
  Bytes pool(size_t(512) * 700);
  for (uint8_t& b : pool) b = uint8_t(rng());
  Bytes out;
  while (out.size() < size) {
    auto from = pool.begin() + std::ptrdiff_t(rng() % 512 * 700);
    out.insert(out.end(), from, from + 700);
  }
  out.resize(size);
  return out;
}

// Segments of 1 MiB: a segment's history reaches over several of them and,
// early on, into the spaces before the input.
EncodeOptions options_for(int jobs) {
  EncodeOptions options;
  options.segment_size = 1 << 20;
  options.jobs = jobs;
  return options;
}

TEST(StreamEncoder, WritesTheSameStreamForAnyThreadsAndPieces) {
  Bytes data = pieces_of_a_pool((size_t(4) << 20) + 12345);
  Bytes first = encode(data, options_for(1));
  EXPECT_TRUE(decode_to_vector(first, uint32_t(data.size())) == data);
  for (auto [jobs, piece] : {std::pair{2, size_t(1) << 20}, {3, 4099}, {8, (1 << 20) + 1}}) {
    Bytes stream;
    StreamEncoder encoder(options_for(jobs), [&](std::span<const uint8_t> bytes) {
      stream.insert(stream.end(), bytes.begin(), bytes.end());
    });
    for (size_t at = 0; at < data.size(); at += piece)
      encoder.write(std::span(data).subspan(at, std::min(piece, data.size() - at)));
    encoder.finish();
    EXPECT_TRUE(stream == first) << jobs << " jobs, pieces of " << piece;
  }
}

// The bound on memory: a caller that writes faster than the threads encode
// waits, so that no more than two segments per thread are in hand.
TEST(StreamEncoder, HoldsAtMostTwoSegmentsPerThread) {
  Bytes data = pieces_of_a_pool(size_t(8) << 20);
  for (int jobs : {1, 2}) {
    EncodeOptions options = options_for(jobs);
    options.level = kFastestLevel;
    uint64_t done = 0;
    options.progress = [&](uint64_t bytes) { done = bytes; };
    StreamEncoder encoder(options, [](std::span<const uint8_t>) {});
    encoder.write(data);
    EXPECT_GE(done, data.size() - uint64_t(2 * jobs) * options.segment_size) << jobs;
  }
}

}  // namespace
}  // namespace lume::codec
