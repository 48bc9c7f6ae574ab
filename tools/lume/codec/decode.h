// The host's entry to the stub's stream decoder (payload/decoder.h). The
// decoder works on static state, so calls are serialised.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace lume::codec {

using DecodeSink = std::function<void(std::span<const uint8_t>)>;

enum class StreamStatus {
  intact,
  corrupt_tables,  // a block's code tables are invalid; decoding stopped there
  cut_short,       // the decoder needed bits beyond the stream's last byte
};

// Calls sink with every chunk the decoder outputs. Decoding stops once size
// bytes are out (the last match may carry it past size) or at the stream's
// end marker, so a stream that ends early hands out fewer than size bytes.
StreamStatus decode_checked(std::span<const uint8_t> stream, uint32_t size,
                            const DecodeSink& sink);

// The same, and how many of the stream's bytes the decoder fetched: where an
// intact stream ends, its end marker included.
struct DecodedStream {
  StreamStatus status;
  size_t used;
};
DecodedStream decode_measured(std::span<const uint8_t> stream, uint32_t size,
                              const DecodeSink& sink);

// The same; false for anything but an intact stream.
bool decode(std::span<const uint8_t> stream, uint32_t size, const DecodeSink& sink);

// Everything the decoder outputs; throws lume::Error unless the stream is intact.
std::vector<uint8_t> decode_to_vector(std::span<const uint8_t> stream, uint32_t size);

}  // namespace lume::codec
