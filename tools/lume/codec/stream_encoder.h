// The compressor as a pipe: input in pieces of any size, the stream out in
// order as it is made. Segments (kSegmentSize bytes of input each, the last
// one shorter) are encoded on a pool of threads, each with the window of
// input before it as history, and joined bit for bit into one stream.
// Memory stays bounded whatever the input's length: a segment's input is
// dropped once it is encoded, and the caller waits while the threads are
// busy and one more segment is waiting for them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "tools/lume/codec/encoder.h"

namespace lume::codec {

// Takes the stream's bytes in order; called on the thread that calls write
// and finish, never concurrently.
using StreamSink = std::function<void(std::span<const uint8_t>)>;

class StreamEncoder {
 public:
  StreamEncoder(const EncodeOptions& options, StreamSink sink);
  // Stops the threads; segments not yet encoded are dropped.
  ~StreamEncoder();
  StreamEncoder(const StreamEncoder&) = delete;
  StreamEncoder& operator=(const StreamEncoder&) = delete;

  // The next bytes of the input. May pass earlier segments' stream to the
  // sink, and waits while every thread is busy. Throws lume::Error once the
  // input passes kMaxInputSize, and rethrows what a thread threw.
  void write(std::span<const uint8_t> bytes);

  // Encodes the rest and passes the whole remaining stream, end marker
  // included, to the sink. Nothing may be written after.
  void finish();

  // Input bytes taken so far.
  uint64_t input_size() const;

 private:
  struct Pool;
  std::unique_ptr<Pool> pool_;
};

}  // namespace lume::codec
