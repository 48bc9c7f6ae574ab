// The bytes of the payload archive appended behind the stub.
//
//   payload offset       PayloadHeader (12 bytes)
//   + 12                 directory: file_count entries, back to back
//   + 12 + dir size      the compressed stream, to the end of the file
//
// All integers are little-endian; records are packed without alignment.
#pragma once

#include <stdint.h>

enum {
  kPayloadHeaderSize = 12,
  kEntryFixedSize = 33,             // check, size, three times, name_length
  kEntryCopySize = 32,              // the part before name_length
  kMaxNameLength = 255,
  kDirectoryBufferSize = 131072,
  kPathCapacity = 260,              // the platform's path limit, terminator included
};

struct PayloadHeader {
  uint32_t file_count;      // directory entries
  uint32_t total_size;      // bytes the stream decodes to: the sum of all sizes
  uint32_t directory_size;  // bytes of directory behind the header
};

// A FILETIME as stored: 100-ns ticks since 1601-01-01 UTC, low word first.
struct StoredTime {
  uint32_t low;
  uint32_t high;
};

// The fixed part of a directory entry, as the sink keeps it for the current
// file. On a little-endian machine its layout is the stored one.
struct PayloadEntryFixed {
  uint32_t check;  // CRC-32 register over the contents, not inverted
  uint32_t size;
  StoredTime creation_time;
  StoredTime last_access_time;
  StoredTime last_write_time;
};
static_assert(sizeof(PayloadEntryFixed) == kEntryCopySize, "entry layout");

inline uint32_t load_u32le(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline PayloadEntryFixed load_entry_fixed(const unsigned char* p) {
  PayloadEntryFixed e;
  e.check = load_u32le(p);
  e.size = load_u32le(p + 4);
  e.creation_time = {load_u32le(p + 8), load_u32le(p + 12)};
  e.last_access_time = {load_u32le(p + 16), load_u32le(p + 20)};
  e.last_write_time = {load_u32le(p + 24), load_u32le(p + 28)};
  return e;
}
