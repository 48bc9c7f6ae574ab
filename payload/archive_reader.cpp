#include "payload/archive_reader.h"

#include <windows.h>

#include "common/bounded_text.h"
#include "payload/directory_rules.h"
#include "payload/extract_sink.h"
#include "payload/payload_hooks.h"

#define LUME_CANNOT_OPEN_PREFIX "Cannot open installation file:\n    "

const char kIncompleteMessage[] =
    "This is an incomplete installation file\n(possibly from an incomplete download).";
const char kCorruptedMessage[] = "This is a corrupted installation file.";
const char kUnconfiguredMessage[] = "Unconfigured installation file.";

FILE* installer_file;
unsigned char directory_buffer[kDirectoryBufferSize];

// A runtime call per read, each taking and leaving the file's lock, would
// cost more than the decoding itself, so the reader keeps a buffer of its
// own and goes to the file only when that runs dry; the decoder reads it in
// place.
enum : uint32_t {
  kReadBufferSize = 65536,
  kPieceSize = 4096,  // the most next_payload_bytes hands out at once
};
static unsigned char read_buffer[kReadBufferSize];
static uint32_t read_next, read_end;  // the unread part of read_buffer

static void forget_buffered_bytes() { read_next = read_end = 0; }

int32_t read_payload(unsigned char* buffer, int32_t count) {
  // The pause first, the cancel after it: a cancel is confirmed before the
  // pause ends, so reading never resumes after one.
  while (payload_paused()) Sleep(kPollMs);
  if (payload_cancelled()) return 0;
  int32_t got = 0;
  while (got < count) {
    if (read_next == read_end) {
      size_t filled = fread(read_buffer, 1, sizeof read_buffer, installer_file);
      if (ferror(installer_file)) return 0;
      if (filled == 0) break;
      read_next = 0;
      read_end = uint32_t(filled);
    }
    buffer[got++] = read_buffer[read_next++];
  }
  return got;
}

int32_t next_payload_bytes(const unsigned char** bytes) {
  while (payload_paused()) Sleep(kPollMs);
  if (payload_cancelled()) return 0;
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

const char* open_payload(const char* program_name, const char* folder) {
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
  if (read_payload(head, kPayloadHeaderSize) != kPayloadHeaderSize)
    return fail_with(kIncompleteMessage);
  PayloadHeader header;
  header.file_count = load_u32le(head);
  header.total_size = load_u32le(head + 4);
  header.directory_size = load_u32le(head + 8);
  if (header.directory_size > kDirectoryBufferSize) return fail_with(kCorruptedMessage);

  int32_t wanted = int32_t(header.directory_size);
  if (wanted > 0 && read_payload(directory_buffer, wanted) != wanted)
    return fail_with(kIncompleteMessage);
  if (check_directory(directory_buffer, header.directory_size, header.file_count,
                      header.total_size, text_length(folder)) != directory_ok)
    return fail_with(kCorruptedMessage);

  start_extraction(folder, directory_buffer, header);
  return nullptr;
}
