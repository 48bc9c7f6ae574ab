#include "payload/directory_rules.h"

#include "common/bounded_text.h"
#include "payload/entry_cursor.h"

DirectoryProblem check_directory(const unsigned char* directory, uint32_t directory_size,
                                 uint32_t file_count, uint32_t total_size,
                                 unsigned folder_length) {
  if (directory_size > kDirectoryBufferSize) return directory_too_large;
  EntryCursor cursor;
  start_entries(&cursor, directory, directory_size, file_count);
  uint64_t size_sum = 0;
  PayloadEntry entry;
  for (;;) {
    EntryStep step = next_entry(&cursor, &entry);
    if (step == entries_done) break;
    if (step == entry_overrun) return directory_overrun;
    if (check_entry_name(entry.name, entry.name_length) != name_ok) return directory_bad_name;
    if (folder_length + entry.name_length > kPathCapacity - 1) return directory_path_too_long;
    size_sum += entry.fields.size;
  }
  if (cursor.position != directory_size) return directory_not_filled;
  if (size_sum != total_size) return directory_size_mismatch;
  return directory_ok;
}

const char* directory_problem_text(DirectoryProblem problem) {
  switch (problem) {
    case directory_ok: return "valid";
    case directory_too_large: return "directory larger than 131072 bytes";
    case directory_overrun: return "an entry runs past the end of the directory";
    case directory_not_filled: return "bytes left over behind the last entry";
    case directory_size_mismatch: return "file sizes do not add up to the total size";
    case directory_bad_name: return "a file name the installer refuses";
    case directory_path_too_long: return "a file name too long for the installation folder";
  }
  return "unknown problem";
}

const char* name_problem_text(NameProblem problem) {
  switch (problem) {
    case name_ok: return "valid";
    case name_empty: return "empty name";
    case name_has_drive: return "contains ':' (a drive or stream)";
    case name_has_forward_slash: return "contains '/'";
    case name_leading_backslash: return "begins with a backslash";
    case name_trailing_backslash: return "ends with a backslash";
    case name_empty_component: return "two backslashes in a row";
    case name_dot_component: return "a '.' or '..' component";
    case name_trailing_dot_or_blank: return "a component ending in '.' or a blank";
    case name_control_character: return "a control character";
    case name_reserved_character: return "one of < > \" | ? *";
    case name_device_name:
      return "a Windows device name (CON, CONIN$, CONOUT$, PRN, AUX, NUL, COM0-9, LPT0-9, COM or "
             "LPT and a superscript 1-3)";
  }
  return "unknown problem";
}
