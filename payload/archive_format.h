// The bytes of the payload archive appended behind the stub.
//
//   payload offset       PayloadHeader (12 bytes)
//   + 12                 directory: file_count entries, back to back
//   + 12 + dir size      the compressed stream, to the end of the file
//
// A directory entry is its fields (check, size, three times: 32 bytes),
// one byte name_length, then the name without terminator. All integers are
// little-endian; records are packed without alignment.
#pragma once

#include <stdint.h>

enum {
  kPayloadHeaderSize = 12,
  kEntryFieldsSize = 32,  // check, size and the three times
  kEntryNameOffset = 33,  // the fields and name_length: where the name begins
  kMaxNameLength = 255,
  kDirectoryBufferSize = 131072,
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

// The fields of a directory entry, the part before name_length.
struct EntryFields {
  uint32_t check;  // CRC-32 register over the contents, not inverted
  uint32_t size;
  StoredTime creation_time;
  StoredTime last_access_time;
  StoredTime last_write_time;
};
static_assert(sizeof(EntryFields) == kEntryFieldsSize, "entry layout");

inline uint32_t load_u32le(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
