// libFuzzer target: the stream decoder on any bytes whatsoever.
//
// The first three bytes choose how much output to ask for; the rest is the
// stream. A run costs about what it decodes, so most inputs ask for at most
// 1 KiB, which reaches every table and copy path but the window's wrap; a
// first byte 0xFF asks for 4 MiB - 32 KiB up to 4 MiB + 32 KiB, so that the
// window may wrap (the seed "window_wrap" does). Besides the sanitizers'
// checks on every table and window access, the decoder's promises are
// checked: one byte per input call, output in whole windows and one last
// short call, never more than the last match beyond the size asked for, and
// no window byte written that was not handed out (decoder_window_fill.h
// relies on that).
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
uint64_t output_total;
size_t output_extent;  // window bytes handed out by the run, from its start
bool short_call_seen;

int32_t fuzz_input(unsigned char* buffer, int32_t count) {
  if (count != 1) __builtin_trap();
  if (stream_left == 0) return 0;
  *buffer = *stream++;
  --stream_left;
  return 1;
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
  if (size_t(count) > output_extent) output_extent = size_t(count);
  return count;
}

uint32_t wanted_size(const uint8_t* data) {
  uint32_t field = uint32_t(data[1]) << 8 | data[2];
  return data[0] == kWrapFlag ? kLargeBase + field : field & kSmallMask;
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
  stream = data + 3;
  stream_left = size - 3;
  output_total = 0;
  output_extent = 0;
  short_call_seen = false;
  DecodeResult result = decode_stream(fuzz_input, fuzz_output, wanted);
  if (result != decode_ok && result != decode_corrupt) __builtin_trap();
  if (output_total > uint64_t(wanted) + 255) __builtin_trap();
  if (wanted == 0 && output_total != 0) __builtin_trap();

  // Behind what the run handed out the window must still hold the fill's
  // spaces; the next fill restores only what was handed out.
  for (size_t i = output_extent; i < output_extent + kCheckedBehind && i < kWindowSize; ++i)
    if (fuzz_window[i] != kWindowFill) __builtin_trap();
  fuzz_window_changed = output_extent;
  return 0;
}
