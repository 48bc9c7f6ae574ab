#include "payload/archive_reader.h"

#include <windows.h>

#include "common/bounded_text.h"
#include "payload/directory_rules.h"
#include "payload/payload_hooks.h"
#include "payload/payload_messages.h"

#define LUME_CANNOT_OPEN_PREFIX "Cannot open installation file:\n    "

FILE* installer_file;
PayloadHeader payload_header;
unsigned char directory_buffer[kDirectoryBufferSize];

// The decoder reads the stream in place from a buffer of the reader's own,
// filled a large piece at a time: a runtime call per read takes and leaves
// the file's lock.
enum : uint32_t {
  kReadBufferSize = 65536,
  kPieceSize = 4096,  // the most next_payload_bytes hands out at once
};
static unsigned char read_buffer[kReadBufferSize];
static uint32_t read_next, read_end;  // the unread part of read_buffer

static void forget_buffered_bytes() { read_next = read_end = 0; }

bool payload_stopped() {
  // The pause first, the cancel after it: a cancel is confirmed before the
  // pause ends, so reading never resumes after one.
  while (payload_paused()) Sleep(kPollMs);
  return payload_cancelled();
}

int32_t next_payload_bytes(const unsigned char** bytes) {
  if (payload_stopped()) return 0;
  if (read_next == read_end) {
    size_t filled = fread(read_buffer, 1, sizeof read_buffer, installer_file);
    if (ferror(installer_file)) return 0;
    read_next = 0;
    read_end = uint32_t(filled);
  }
  uint32_t got = read_end - read_next < kPieceSize ? read_end - read_next : kPieceSize;
  *bytes = read_buffer + read_next;
  read_next += got;
  return int32_t(got);
}

bool installer_file_name(char* out, const char* program_name) {
  if (!copy_text(out, kPathCapacity, program_name)) return false;
  return ends_with_ignoring_case(out, ".exe") || append_text(out, kPathCapacity, ".exe");
}

void close_installer_file() {
  if (installer_file != nullptr) fclose(installer_file);
  installer_file = nullptr;
  forget_buffered_bytes();
}

static const char* fail_with(const char* message) {
  close_installer_file();
  return message;
}

const char* open_payload(const char* program_name) {
  static char cannot_open[sizeof(LUME_CANNOT_OPEN_PREFIX) + kPathCapacity];
  char path[kPathCapacity];
  if (!installer_file_name(path, program_name) ||
      (installer_file = fopen(path, "rb")) == nullptr) {
    join_text(cannot_open, sizeof cannot_open, LUME_CANNOT_OPEN_PREFIX, path);
    return cannot_open;
  }

  // A negative offset is no more a configuration than 0 is.
  long offset = payload_offset();
  if (offset <= 0) return fail_with(kUnconfiguredMessage);
  if (fseek(installer_file, offset, SEEK_SET) != 0) return fail_with(kIncompleteMessage);
  forget_buffered_bytes();

  // A header cut short reads as an incomplete file, not as an empty archive.
  unsigned char head[kPayloadHeaderSize];
  if (fread(head, 1, kPayloadHeaderSize, installer_file) != kPayloadHeaderSize)
    return fail_with(kIncompleteMessage);
  PayloadHeader& header = payload_header;
  header.file_count = load_u32le(head);
  header.total_size = load_u32le(head + 4);
  header.directory_size = load_u32le(head + 8);
  if (header.directory_size > kDirectoryBufferSize) return fail_with(kCorruptedMessage);

  if (fread(directory_buffer, 1, header.directory_size, installer_file) != header.directory_size)
    return fail_with(kIncompleteMessage);
  if (check_directory(directory_buffer, header.directory_size, header.file_count,
                      header.total_size, 0) != directory_ok)
    return fail_with(kCorruptedMessage);
  return nullptr;
}
