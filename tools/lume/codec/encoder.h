// The compressor: turns bytes into a stream of the payload format.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace lume::codec {

inline constexpr int kFastestLevel = 1;
inline constexpr int kDefaultLevel = 3;
inline constexpr int kMaxLevel = 4;

// The largest input: the payload counts its bytes in 32 bits, and the
// decoder's count of bytes produced must not wrap when the last match
// carries it past the end.
inline constexpr uint64_t kMaxInputSize = 0xFFFFF000u;

// The input is cut into segments of this many bytes, counted from its
// start, whatever the number of threads; each is encoded on its own, with
// the window before it as history, so the stream is the same on every
// machine. Smaller segments spread the work over more threads; each cut
// costs a little ratio and the time to take in the window again.
inline constexpr uint32_t kSegmentSize = uint32_t(16) << 20;

struct EncodeOptions {
  int level = kDefaultLevel;
  // Segments encoded at once; 0: one per core of the machine. The stream
  // does not depend on it.
  int jobs = 0;
  // The stream does depend on this one: the tool always uses kSegmentSize;
  // others are for tests and comparisons.
  uint32_t segment_size = kSegmentSize;
  // Called now and then with the number of input bytes done so far; the
  // values never decrease. Always called on the thread that hands the
  // encoder its input.
  std::function<void(uint64_t bytes_done)> progress;
};

// The number of threads that jobs stands for.
int job_count(int jobs);

// The whole stream for data, ending with an end marker. Levels outside
// kFastestLevel to kMaxLevel are clamped. Throws lume::Error for an input
// over kMaxInputSize.
std::vector<uint8_t> encode(std::span<const uint8_t> data, const EncodeOptions& options = {});

}  // namespace lume::codec
