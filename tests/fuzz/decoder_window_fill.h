// Forced into the decoder wherever the fuzz targets compile it.
//
// Every decoding starts by filling the 4 MiB window with spaces: some 70 us
// even unsanitized, more than a whole run of the target on a small input.
// The decoder writes no window byte that it does not hand to its output
// function, so the target knows which bytes the last run changed; the fill
// below restores only those and leaves the rest, which still hold the
// previous fill's spaces. Every other memset of the decoder is untouched.
#pragma once

#include <stddef.h>
#include <string.h>

#include "payload/stream_format.h"

// Bytes at the window's start that the next fill must restore. The target
// lowers it after each run to what that run handed out; each fill raises it
// to the whole window again, so a caller that never lowers it gets full fills.
inline size_t fuzz_window_changed = kWindowSize;
inline unsigned char* fuzz_window;

inline void* fuzz_window_fill(void* to, int value, size_t count) {
  if (count != kWindowSize || value != kWindowFill) return memset(to, value, count);
  fuzz_window = static_cast<unsigned char*>(to);
  memset(to, value, fuzz_window_changed);
  fuzz_window_changed = kWindowSize;
  return to;
}

#define memset fuzz_window_fill
