#include "tools/lume/codec/decode.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "payload/decoder.h"
#include "tools/lume/base/error.h"

namespace lume::codec {
namespace {

// The stream's end marker: 16 zero bits, which the decoder need not read
// once it has its size, and behind which the encoder pads to a whole byte.
constexpr size_t kEndMarkerBytes = 2;

// The decoder takes plain function pointers, so the one decoding in flight
// is reached through these.
std::mutex decoding;
std::span<const uint8_t> input_bytes;
const DecodeSink* output_sink = nullptr;

// The stream in place, in as few pieces as the decoder's count allows.
int32_t read_input(const unsigned char** bytes) {
  size_t count = std::min(input_bytes.size(), size_t(INT32_MAX));
  *bytes = input_bytes.data();
  input_bytes = input_bytes.subspan(count);
  return int32_t(count);
}

int32_t write_output(const unsigned char* buffer, int32_t count) {
  (*output_sink)(std::span<const uint8_t>(buffer, size_t(count)));
  return count;
}

}  // namespace

DecodedStream decode_measured(std::span<const uint8_t> stream, uint32_t size,
                              const DecodeSink& sink) {
  std::lock_guard lock(decoding);
  input_bytes = stream;
  output_sink = &sink;
  DecodeResult result = decode_stream(read_input, write_output, size);
  output_sink = nullptr;
  input_bytes = {};
  const uint64_t read = decoder_bytes_used();
  // Where an intact stream ends: behind what the decoder read, the end
  // marker it need not read once it has its size.
  size_t used = size_t(std::min<uint64_t>(read + kEndMarkerBytes, stream.size()));
  if (result != decode_ok) return {StreamStatus::corrupt_tables, used};
  return {read > stream.size() ? StreamStatus::cut_short : StreamStatus::intact, used};
}

StreamStatus decode_checked(std::span<const uint8_t> stream, uint32_t size,
                            const DecodeSink& sink) {
  return decode_measured(stream, size, sink).status;
}

bool decode(std::span<const uint8_t> stream, uint32_t size, const DecodeSink& sink) {
  return decode_checked(stream, size, sink) == StreamStatus::intact;
}

std::vector<uint8_t> decode_to_vector(std::span<const uint8_t> stream, uint32_t size) {
  std::vector<uint8_t> out;
  StreamStatus status = decode_checked(stream, size, [&](std::span<const uint8_t> chunk) {
    out.insert(out.end(), chunk.begin(), chunk.end());
  });
  if (status == StreamStatus::corrupt_tables)
    throw Error("the stream is corrupt: a block's code tables are invalid");
  if (status == StreamStatus::cut_short) throw Error("the stream is corrupt: it is cut short");
  return out;
}

}  // namespace lume::codec
