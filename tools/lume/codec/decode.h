// The host's entry to the stub's stream decoder (payload/decoder.h). The
// decoder works on static state, so calls are serialised.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace lume::codec {

// Calls sink with every chunk the decoder outputs; returns false when the
// stream's tables are corrupt. Decoding stops once size bytes are out (the
// last match may carry it past size) or at the stream's end marker, so a
// stream that ends early hands out fewer than size bytes.
bool decode(std::span<const uint8_t> stream, uint32_t size,
            const std::function<void(std::span<const uint8_t>)>& sink);

// Everything the decoder outputs; throws lume::Error on corrupt tables.
std::vector<uint8_t> decode_to_vector(std::span<const uint8_t> stream, uint32_t size);

}  // namespace lume::codec
