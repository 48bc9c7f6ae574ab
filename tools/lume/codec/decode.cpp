#include "tools/lume/codec/decode.h"

#include <algorithm>
#include <mutex>

#include "payload/decoder.h"
#include "tools/lume/cli/error.h"

namespace lume::codec {
namespace {

// The decoder takes plain function pointers, so the one decoding in flight
// is reached through these.
std::mutex decoding;
std::span<const uint8_t> input_bytes;
size_t input_at = 0;
const std::function<void(std::span<const uint8_t>)>* output_sink = nullptr;

int32_t read_input(unsigned char* buffer, int32_t count) {
  size_t n = std::min(size_t(count), input_bytes.size() - input_at);
  std::copy_n(input_bytes.begin() + std::ptrdiff_t(input_at), n, buffer);
  input_at += n;
  return int32_t(n);
}

int32_t write_output(const unsigned char* buffer, int32_t count) {
  (*output_sink)(std::span<const uint8_t>(buffer, size_t(count)));
  return count;
}

}  // namespace

bool decode(std::span<const uint8_t> stream, uint32_t size,
            const std::function<void(std::span<const uint8_t>)>& sink) {
  std::lock_guard lock(decoding);
  input_bytes = stream;
  input_at = 0;
  output_sink = &sink;
  DecodeResult result = decode_stream(read_input, write_output, size);
  output_sink = nullptr;
  input_bytes = {};
  return result == decode_ok;
}

std::vector<uint8_t> decode_to_vector(std::span<const uint8_t> stream, uint32_t size) {
  std::vector<uint8_t> out;
  out.reserve(size);
  bool ok = decode(stream, size, [&](std::span<const uint8_t> chunk) {
    out.insert(out.end(), chunk.begin(), chunk.end());
  });
  if (!ok) throw Error("the stream is corrupt: a block's code tables are invalid");
  return out;
}

}  // namespace lume::codec
