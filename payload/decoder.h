// The stream decoder: block-structured LZ77 with static canonical Huffman
// codes and a 4 MiB history window, the format of the payload's stream.
//
// Pure code over static state (not re-entrant, no allocation, no platform
// call), compiled into the stub, the building tool, the tests and the fuzzer.
#pragma once

#include <stdint.h>

// Reads up to count bytes into buffer; the decoder always asks for one byte
// and treats a byte that does not arrive as eight zero bits.
typedef int32_t (*DecoderInput)(unsigned char* buffer, int32_t count);

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
