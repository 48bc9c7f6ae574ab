#include "tools/lume/codec/decode.h"

#include <algorithm>
#include <mutex>

#include "payload/decoder.h"
#include "tools/lume/base/error.h"

namespace lume::codec {
namespace {

// The decoder keeps 16 bits in hand beyond those it has used, so reading
// the last bit of a stream fetches at most two bytes past it. Any byte
// fetched beyond those means bits were used that the stream does not have.
constexpr size_t kLookAhead = 2;

// The decoder takes plain function pointers, so the one decoding in flight
// is reached through these.
std::mutex decoding;
std::span<const uint8_t> input_bytes;
size_t input_at = 0;
size_t missing_bytes = 0;
const DecodeSink* output_sink = nullptr;

int32_t read_input(unsigned char* buffer, int32_t count) {
  size_t n = std::min(size_t(count), input_bytes.size() - input_at);
  std::copy_n(input_bytes.begin() + std::ptrdiff_t(input_at), n, buffer);
  input_at += n;
  missing_bytes += size_t(count) - n;
  return int32_t(n);
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
  input_at = 0;
  missing_bytes = 0;
  output_sink = &sink;
  DecodeResult result = decode_stream(read_input, write_output, size);
  output_sink = nullptr;
  input_bytes = {};
  // The bits in hand at the end are the encoder's end marker, which the
  // decoder need not read once it has its size: every byte it fetched is
  // the stream's, and none behind them is ever read.
  size_t used = std::min(input_at, stream.size());
  if (result != decode_ok) return {StreamStatus::corrupt_tables, used};
  return {missing_bytes > kLookAhead ? StreamStatus::cut_short : StreamStatus::intact, used};
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
