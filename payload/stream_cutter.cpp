#include "payload/stream_cutter.h"

#include "payload/check_value.h"

void start_cutting(StreamCutter* cutter, const unsigned char* directory, uint32_t directory_size,
                   uint32_t file_count) {
  start_entries(&cutter->entries, directory, directory_size, file_count);
  cutter->file_open = false;
  cutter->bytes_done = 0;
  cutter->running_check = kCheckPreset;
}

void close_cut_file(StreamCutter* cutter, const CutterCalls* calls) {
  if (!cutter->file_open) return;
  cutter->file_open = false;
  calls->close(calls->context, &cutter->current, cutter->running_check);
}

bool cut_file_complete(const StreamCutter* cutter) {
  return !cutter->file_open || cutter->bytes_done >= cutter->current.fields.size;
}

// Makes the next entry the open file. False when the directory is used up
// or open refused it.
static bool open_next(StreamCutter* cutter, const CutterCalls* calls) {
  if (next_entry(&cutter->entries, &cutter->current) != entry_read) return false;
  cutter->bytes_done = 0;
  cutter->running_check = kCheckPreset;
  if (!calls->open(calls->context, &cutter->current)) return false;
  cutter->file_open = true;
  return true;
}

uint32_t cut_stream(StreamCutter* cutter, const CutterCalls* calls, const unsigned char* bytes,
                    uint32_t count) {
  uint32_t consumed = 0;
  while (consumed < count) {
    if (cut_file_complete(cutter)) {
      close_cut_file(cutter, calls);
      if (!open_next(cutter, calls)) break;
    }
    // 0 for an empty entry, which the next pass closes again.
    uint32_t chunk = cutter->current.fields.size - cutter->bytes_done;
    if (chunk > count - consumed) chunk = count - consumed;
    cutter->bytes_done += chunk;
    cutter->running_check = update_check(cutter->running_check, bytes + consumed, chunk);
    consumed += chunk == 0 ? 0 : calls->write(calls->context, bytes + consumed, chunk);
  }
  return consumed;
}

void cut_empty_entries(StreamCutter* cutter, const CutterCalls* calls) {
  close_cut_file(cutter, calls);
  while (open_next(cutter, calls)) close_cut_file(cutter, calls);
}
