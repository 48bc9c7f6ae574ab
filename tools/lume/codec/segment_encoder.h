// Encodes one stretch of the input as whole blocks, with the match finder
// and parser of a level. Stretches are independent once the match finder
// has taken in the window before them, so they can be encoded side by side.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "tools/lume/codec/bit_writer.h"
#include "tools/lume/codec/levels.h"

namespace lume::codec {

// The blocks for positions begin to end - 1 of buffer. done grows with the
// positions encoded. Once stop is set the work ends early, after the chunk
// at hand, and what was written is of no use.
BitWriter encode_segment(std::span<const uint8_t> buffer, uint32_t begin, uint32_t end,
                         const LevelSettings& settings, std::atomic<uint64_t>& done,
                         const std::atomic<bool>& stop);

}  // namespace lume::codec
