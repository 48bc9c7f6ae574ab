#include "uninstaller/uninstall_data.h"

#include "common/bounded_text.h"

FILE* uninstall_data_file;

uint32_t write_bytes(FILE* stream, const void* bytes, uint32_t count) {
  if (count == 0) return 0;
  return fwrite(bytes, 1, count, stream) == count ? count : 0;
}

void write_text(const char* text) {
  if (uninstall_data_file != nullptr) write_bytes(uninstall_data_file, text, text_length(text));
}

void write_line(const char* text) {
  write_text(text);
  write_text("\n");
}

void write_record(RecordKind kind, const char* text) {
  const char kind_text[2] = {kind, 0};
  write_text(kind_text);
  write_line(text);
}
