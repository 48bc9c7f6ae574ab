#include "payload/extract_sink.h"

#include <windows.h>

#include "common/bounded_text.h"
#include "installer/shared_state.h"
#include "payload/archive_reader.h"
#include "payload/check_value.h"
#include "uninstaller/uninstall_data.h"

#define LUME_CANNOT_CREATE_PREFIX "Cannot create file:\n    "

uint32_t next_entry;
PayloadEntryFixed current_entry;
uint32_t bytes_done;
uint32_t running_check;
FILE* current_file;
char current_path[kPathCapacity];

void reset_extraction() {
  next_entry = 0;
  current_entry = PayloadEntryFixed{};
  current_entry.check = kCheckPreset;
  bytes_done = 0;
  running_check = kCheckPreset;
  current_file = nullptr;
  current_path[0] = 0;
}

// The files are closed first, so that the data file keeps the record of
// every file created so far without relying on the runtime to flush its
// streams when the process is ended from here.
void end_installation_with(const char* message) {
  if (current_file != nullptr) fclose(current_file);
  current_file = nullptr;
  if (uninstall_data_file != nullptr) fclose(uninstall_data_file);
  uninstall_data_file = nullptr;
  show_error(message);
  ExitProcess(1);
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

// Reopens the closed file to give it the times in directory order. A file
// that cannot be reopened keeps the times it has.
static void set_stored_times() {
  HANDLE file = CreateFileA(current_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const PayloadEntryFixed& e = current_entry;
  FILETIME creation = {e.creation_time.low, e.creation_time.high};
  FILETIME last_access = {e.last_access_time.low, e.last_access_time.high};
  FILETIME last_write = {e.last_write_time.low, e.last_write_time.high};
  SetFileTime(file, &creation, &last_access, &last_write);
  CloseHandle(file);
}

void close_current_file() {
  if (current_file == nullptr) return;
  fclose(current_file);
  current_file = nullptr;
  // After a cancel the bytes came from an input that had stopped: not data.
  if (load_word(cancel_flag) != 0) return;
  if (running_check != current_entry.check) end_installation_with(LUME_CORRUPTED_MESSAGE);
  set_stored_times();
}

// Makes the entry at next_entry the current one: shows its name, creates
// the file and records it before any of its bytes. False when a cancel
// arrived meanwhile (the status text is a call into the dialog's thread,
// where the cancel is confirmed): the file is then not created.
static bool open_next_entry() {
  const unsigned char* entry = directory_buffer + next_entry;
  current_entry = load_entry_fixed(entry);
  running_check = kCheckPreset;
  bytes_done = 0;
  unsigned name_length = entry[kEntryCopySize];
  char name[kMaxNameLength + 1];
  copy_text_prefix(name, sizeof name, reinterpret_cast<const char*>(entry) + kEntryFixedSize,
                   name_length);
  next_entry += kEntryFixedSize + name_length;

  HWND dialog = load_word(status_dialog);
  if (dialog != nullptr) SetDlgItemTextA(dialog, kStatusTextId, name);
  if (load_word(cancel_flag) != 0) return false;

  // A path that does not fit is refused whole rather than cut to another name.
  bool fits = join_text(current_path, sizeof current_path, install_folder, name);
  current_file = fits ? open_output_file(current_path) : nullptr;
  if (current_file == nullptr) {
    char message[sizeof LUME_CANNOT_CREATE_PREFIX + kPathCapacity];
    join_text(message, sizeof message, LUME_CANNOT_CREATE_PREFIX, current_path);
    end_installation_with(message);
  }
  write_text("0");
  write_line(current_path);
  return true;
}

int32_t extract_write(const unsigned char* buffer, int32_t count) {
  int32_t consumed = 0;
  while (consumed < count) {
    // Bytes decoded after a cancel come from an input that returns nothing.
    if (load_word(cancel_flag) != 0) break;
    if (bytes_done >= current_entry.size) {
      close_current_file();
      if (files_left <= 0) break;  // more bytes than the directory describes: dropped
      --files_left;
      if (!open_next_entry()) break;
    }
    uint32_t chunk = current_entry.size - bytes_done;
    if (chunk > uint32_t(count - consumed)) chunk = uint32_t(count - consumed);
    bytes_done += chunk;
    running_check = update_check(running_check, buffer + consumed, chunk);
    // A failed write is not consumed: the following bytes then miss their
    // places, so the shortfall shows as a check-value mismatch or as bytes
    // still remaining after decoding.
    uint32_t written = write_bytes(current_file, buffer + consumed, chunk);
    remaining_bytes -= written;
    consumed += int32_t(written);
  }
  return consumed;
}

void finish_extraction() {
  close_current_file();
  if (load_word(cancel_flag) != 0 || remaining_bytes != 0) return;
  // Every byte is out, so whatever entries are left hold none.
  while (files_left > 0) {
    --files_left;
    if (!open_next_entry()) return;
    close_current_file();
  }
}
