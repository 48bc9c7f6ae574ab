// libFuzzer target: the stream decoder on any bytes whatsoever.
//
// The first three bytes choose how much output to ask for (up to 8 MiB, so
// the window wraps); the rest is the stream. Besides the sanitizers' checks
// on every table and window access, the decoder's promises are checked:
// one byte per input call, output in whole windows and one last short call,
// never more than the last match beyond the size asked for.
#include <stddef.h>
#include <stdint.h>

#include "payload/decoder.h"

namespace {

const uint8_t* stream;
size_t stream_left;
uint64_t output_total;
bool short_call_seen;

int32_t fuzz_input(unsigned char* buffer, int32_t count) {
  if (count != 1) __builtin_trap();
  if (stream_left == 0) return 0;
  *buffer = *stream++;
  --stream_left;
  return 1;
}

int32_t fuzz_output(const unsigned char* buffer, int32_t count) {
  if (count <= 0 || count > 4194304 || short_call_seen) __builtin_trap();
  if (count < 4194304) short_call_seen = true;
  // Touch both ends so a bad pointer or count shows under the sanitizer.
  volatile unsigned char first = buffer[0], last = buffer[count - 1];
  (void)first;
  (void)last;
  output_total += uint64_t(count);
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  uint32_t wanted = (uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16) & 0x7FFFFF;
  stream = data + 3;
  stream_left = size - 3;
  output_total = 0;
  short_call_seen = false;
  DecodeResult result = decode_stream(fuzz_input, fuzz_output, wanted);
  if (result != decode_ok && result != decode_corrupt) __builtin_trap();
  if (output_total > uint64_t(wanted) + 255) __builtin_trap();
  if (wanted == 0 && output_total != 0) __builtin_trap();
  return 0;
}
