#include "tools/lume/codec/encoder.h"

#include "tools/lume/codec/stream_encoder.h"

namespace lume::codec {

std::vector<uint8_t> encode(std::span<const uint8_t> data, const EncodeOptions& options) {
  std::vector<uint8_t> stream;
  StreamEncoder encoder(options, [&](std::span<const uint8_t> bytes) {
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  });
  encoder.write(data);
  encoder.finish();
  return stream;
}

}  // namespace lume::codec
