// libFuzzer target: the stream decoder on any bytes whatsoever.
//
// The first three bytes choose how much output to ask for; the rest is the
// stream. A run costs about what it decodes, so most inputs ask for at most
// 1 KiB, which reaches every table and copy path but the window's wrap; a
// first byte 0xFF asks for 4 MiB - 32 KiB up to 4 MiB + 32 KiB, so that the
// window may wrap (the seed "window_wrap" does). The stream reaches the
// decoder in pieces of 1 to 16 bytes or whole, as the same bytes choose, so
// that every refill meets a piece's end. Besides the sanitizers' checks on
// every table and window access, the decoder's promises are checked: output
// in whole windows and one last short call, never more than the last match
// beyond the size asked for, no window byte written that was not handed
// out (decoder_window_fill.h relies on that), and for small sizes the same
// output, result and count of bytes used as from the stream in one piece.
#include <stddef.h>
#include <stdint.h>

#include "payload/decoder.h"
#include "tests/fuzz/decoder_window_fill.h"

namespace {

constexpr uint32_t kWrapFlag = 0xFF;
constexpr uint32_t kSmallMask = 0x3FF;            // small sizes: 0 to 1023
constexpr uint32_t kLargeBase = kWindowSize - 32768;  // large ones: this + field
constexpr unsigned kWrapKept = 16;                // see LLVMFuzzerCustomMutator
constexpr size_t kCheckedBehind = 8;              // an 8-byte copy's reach past its end

const uint8_t* stream;
size_t stream_left;
size_t piece_size;  // 0: the whole stream in one piece
bool input_ended;
uint64_t output_total;
bool hashing;  // only small runs, which are compared
uint64_t output_hash;
size_t output_extent;  // window bytes handed out by the run, from its start
bool short_call_seen;

int32_t fuzz_input(const unsigned char** bytes) {
  if (input_ended) __builtin_trap();  // asked again after the end
  size_t count = piece_size == 0 || stream_left < piece_size ? stream_left : piece_size;
  input_ended = count == 0;
  *bytes = stream;
  stream += count;
  stream_left -= count;
  return int32_t(count);
}

int32_t fuzz_output(const unsigned char* buffer, int32_t count) {
  if (count <= 0 || uint32_t(count) > kWindowSize || short_call_seen) __builtin_trap();
  if (buffer != fuzz_window) __builtin_trap();
  if (uint32_t(count) < kWindowSize) short_call_seen = true;
  // Touch both ends so a bad pointer or count shows under the sanitizer.
  volatile unsigned char first = buffer[0], last = buffer[count - 1];
  (void)first;
  (void)last;
  output_total += uint64_t(count);
  if (hashing)
    for (int32_t i = 0; i < count; ++i) output_hash = (output_hash ^ buffer[i]) * 0x100000001B3ull;
  if (size_t(count) > output_extent) output_extent = size_t(count);
  return count;
}

uint32_t wanted_size(const uint8_t* data) {
  uint32_t field = uint32_t(data[1]) << 8 | data[2];
  return data[0] == kWrapFlag ? kLargeBase + field : field & kSmallMask;
}

// Pieces of 1 to 16 bytes from the small sizes' unused high bits, else whole.
size_t piece_of(const uint8_t* data) {
  return data[0] == kWrapFlag || (data[1] & 0x80) == 0 ? 0 : size_t(data[1] >> 2 & 0x0F) + 1;
}

struct Run {
  DecodeResult result;
  uint64_t total, hash, used;
};

Run run(const uint8_t* data, size_t size, uint32_t wanted, size_t piece) {
  stream = data + 3;
  stream_left = size - 3;
  piece_size = piece;
  input_ended = false;
  output_total = 0;
  output_hash = 0xCBF29CE484222325ull;
  output_extent = 0;
  short_call_seen = false;
  hashing = data[0] != kWrapFlag;
  DecodeResult result = decode_stream(fuzz_input, fuzz_output, wanted);

  // Behind what the run handed out the window must still hold the fill's
  // spaces; the next fill restores only what was handed out.
  for (size_t i = output_extent; i < output_extent + kCheckedBehind && i < kWindowSize; ++i)
    if (fuzz_window[i] != kWindowFill) __builtin_trap();
  fuzz_window_changed = output_extent;
  return {result, output_total, output_hash, decoder_bytes_used()};
}

}  // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

// A run that wraps the window decodes at least 16384 symbols, the work of a
// hundred small runs. So only one mutation in kWrapKept of an input that
// asks for a wrapped window asks for one again; the others ask for a small
// size, and the fuzzer spends its time mostly on small runs without losing
// the wrapped ones.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size,
                                          unsigned int seed) {
  size = LLVMFuzzerMutate(data, size, max_size);
  if (size >= 3 && data[0] == kWrapFlag && seed % kWrapKept != 0) data[0] = 0;
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  uint32_t wanted = wanted_size(data);
  size_t piece = piece_of(data);
  Run first = run(data, size, wanted, piece);
  if (first.result != decode_ok && first.result != decode_corrupt) __builtin_trap();
  if (first.total > uint64_t(wanted) + 255) __builtin_trap();
  if (wanted == 0 && first.total != 0) __builtin_trap();
  if (piece != 0) {
    Run whole = run(data, size, wanted, 0);
    if (whole.result != first.result || whole.total != first.total || whole.hash != first.hash ||
        whole.used != first.used)
      __builtin_trap();
  }
  return 0;
}
