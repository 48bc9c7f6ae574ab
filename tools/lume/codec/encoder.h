// The compressor: turns bytes into a stream of the payload format.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace lume::codec {

inline constexpr int kFastestLevel = 1;
inline constexpr int kDefaultLevel = 1;
inline constexpr int kMaxLevel = 1;

// The largest input: the payload counts its bytes in 32 bits, and the
// match finders keep positions, a little past the input's, in 32 bits too.
inline constexpr uint64_t kMaxInputSize = 0xFFFFF000u;

struct EncodeOptions {
  int level = kDefaultLevel;
  // Called now and then with the number of input bytes done so far; the
  // values never decrease. Always called on the thread that called encode.
  std::function<void(uint64_t bytes_done)> progress;
};

// The whole stream for data (at most kMaxInputSize bytes), ending with an
// end marker. Levels outside kFastestLevel to kMaxLevel are clamped.
// Throws lume::Error for a larger input.
std::vector<uint8_t> encode(std::span<const uint8_t> data, const EncodeOptions& options = {});

}  // namespace lume::codec
