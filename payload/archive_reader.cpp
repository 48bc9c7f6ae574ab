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

int32_t read_payload(unsigned char* buffer, int32_t count) {
  // The pause first, the cancel after it: a cancel is confirmed before the
  // pause ends, so reading never resumes after one.
  while (payload_paused()) Sleep(kPollMs);
  if (payload_cancelled()) return 0;
  size_t got = fread(buffer, 1, size_t(count), installer_file);
  if (ferror(installer_file)) return 0;
  return int32_t(got);
}

uint32_t read_u32() {
  unsigned char bytes[4] = {0, 0, 0, 0};
  read_payload(bytes, 4);
  return load_u32le(bytes);
}

bool installer_file_name(char* out, const char* program_name) {
  if (!copy_text(out, kPathCapacity, program_name)) return false;
  return ends_with_ignoring_case(out, ".exe") || append_text(out, kPathCapacity, ".exe");
}

void close_installer_file() {
  if (installer_file != nullptr) fclose(installer_file);
  installer_file = nullptr;
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

  // A header cut short reads as an incomplete file, not as an empty archive.
  PayloadHeader header;
  header.file_count = read_u32();
  header.total_size = read_u32();
  header.directory_size = read_u32();
  if (feof(installer_file) || ferror(installer_file)) return fail_with(kIncompleteMessage);
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
