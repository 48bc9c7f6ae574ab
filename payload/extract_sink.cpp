#include "payload/extract_sink.h"

#include <io.h>
#include <windows.h>

#include "payload/payload_hooks.h"
#include "payload/payload_messages.h"
#include "uninstaller/uninstall_data.h"

#define LUME_CANNOT_CREATE_PREFIX "Cannot create file:\n    "

ExtractionState extraction;

void start_extraction(const char* folder, const unsigned char* directory,
                      const PayloadHeader& header) {
  start_cutting(&extraction.cutter, directory, header.directory_size, header.file_count);
  extraction.remaining_bytes = header.total_size;
  extraction.folder = folder;
  extraction.current_file = nullptr;
  extraction.current_path[0] = 0;
}

// The open file is closed first, so that what was written of it is on disk
// whatever the process does next.
void fail_extraction(const char* message) {
  if (extraction.current_file != nullptr) fclose(extraction.current_file);
  extraction.current_file = nullptr;
  payload_failed(message);
}

void make_folder_chain(char* path) {
  for (char* p = path; *p != 0; ++p) {
    if (*p != '\\') continue;
    *p = 0;
    CreateDirectoryA(path, nullptr);
    *p = '\\';
  }
}

FILE* open_output_file(const char* path) {
  unsigned folder_end = 0;
  for (unsigned i = 0; path[i] != 0; ++i) {
    if (path[i] == '\\') folder_end = i + 1;
  }
  char folder[kPathCapacity];
  if (!copy_text_prefix(folder, sizeof folder, path, folder_end)) return nullptr;
  make_folder_chain(folder);
  return fopen(path, "wb");
}

// Gives the file its stored times through the handle it was written by,
// after the last of its bytes has left the runtime's buffer, so that no
// write follows them. (Reopening it by name instead costs a second open
// and close per file, several system calls each.) Failures are passed over:
// the file keeps the times it has.
static void set_stored_times(FILE* stream, const EntryFields& e) {
  fflush(stream);
  HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  FILETIME creation = {e.creation_time.low, e.creation_time.high};
  FILETIME last_access = {e.last_access_time.low, e.last_access_time.high};
  FILETIME last_write = {e.last_write_time.low, e.last_write_time.high};
  SetFileTime(file, &creation, &last_access, &last_write);
}

static void close_file(void*, const PayloadEntry* entry, uint32_t check) {
  // After a cancel the bytes came from an input that had stopped: not data.
  bool cancelled = payload_cancelled();
  if (!cancelled && check == entry->fields.check)
    set_stored_times(extraction.current_file, entry->fields);
  fclose(extraction.current_file);
  extraction.current_file = nullptr;
  if (!cancelled && check != entry->fields.check) fail_extraction(kCorruptedMessage);
}

// Shows the entry's name, creates the file and records it before any of
// its bytes. False when a cancel arrived meanwhile (showing the name waits
// for the dialog's thread, where the cancel is confirmed): the file is then
// not created.
static bool open_file(void*, const PayloadEntry* entry) {
  char name[kMaxNameLength + 1];
  copy_text_prefix(name, sizeof name, entry->name, entry->name_length);
  payload_file_begins(name);
  if (payload_cancelled()) return false;

  // A path that does not fit is refused whole rather than cut to another name.
  bool fits = join_text(extraction.current_path, sizeof extraction.current_path, extraction.folder,
                        name);
  extraction.current_file = fits ? open_output_file(extraction.current_path) : nullptr;
  if (extraction.current_file == nullptr) {
    char message[sizeof LUME_CANNOT_CREATE_PREFIX + kPathCapacity];
    join_text(message, sizeof message, LUME_CANNOT_CREATE_PREFIX, extraction.current_path);
    fail_extraction(message);
  }
  write_record(record_file, extraction.current_path);
  return true;
}

static uint32_t write_file(void*, const unsigned char* bytes, uint32_t count) {
  uint32_t written = write_bytes(extraction.current_file, bytes, count);
  extraction.remaining_bytes -= written;
  return written;
}

static const CutterCalls sink_calls = {open_file, write_file, close_file, nullptr};

int32_t extract_write(const unsigned char* buffer, int32_t count) {
  // Bytes decoded after a cancel come from an input that returns nothing.
  if (payload_cancelled()) return 0;
  return int32_t(cut_stream(&extraction.cutter, &sink_calls, buffer, uint32_t(count)));
}

void close_current_file() { close_cut_file(&extraction.cutter, &sink_calls); }

void finish_extraction() {
  if (!payload_cancelled() && extraction.remaining_bytes == 0)
    cut_empty_entries(&extraction.cutter, &sink_calls);
  else
    close_current_file();
}
