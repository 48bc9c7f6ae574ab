// The stream decoder: block-structured LZ77 with static canonical Huffman
// codes and a 4 MiB history window, the format of the payload's stream.
//
// Pure code over static state (not re-entrant, no allocation, no platform
// call), compiled into the stub, the building tool, the tests and the fuzzer.
#pragma once

#include <stdint.h>

// Hands the decoder the next bytes of its input: points *bytes at them and
// returns how many there are, or 0 once the input has ended (or failed).
// The bytes must stay unchanged until the next call. The decoder reads them
// in place, a machine word at a time, and asks for more when fewer than a
// few are left (it keeps those); after a 0 it asks no more and reads zero
// bits. An input held in memory is one call that returns all of it.
typedef int32_t (*DecoderInput)(const unsigned char** bytes);

// Receives count decoded bytes. The buffer is the decoder's history window:
// valid only during the call, and never to be changed.
typedef int32_t (*DecoderOutput)(const unsigned char* buffer, int32_t count);

enum DecodeResult {
  decode_ok = 0,       // size bytes produced, or the end marker read
  decode_corrupt = 1,  // a block's code tables are invalid; decoding stopped there
};

// Decodes until at least size bytes have been produced or a block size of 0
// is read, handing every decoded byte to output: in calls of 4194304 bytes
// whenever the window fills, and once at the end with what is left.
DecodeResult decode_stream(DecoderInput input, DecoderOutput output, uint32_t size);

// How many input bytes the last decode_stream used: every byte that holds
// a bit it read, the zero bytes it read beyond the input's end included.
// Bytes it took into its bit buffer but did not read from do not count, so
// an intact stream's count ends exactly at its last symbol, or at its end
// marker when that was read.
uint64_t decoder_bytes_used();
