#include "payload/directory_rules.h"

#include "common/bounded_text.h"
#include "payload/entry_cursor.h"

static bool is_reserved(unsigned char c) {
  return c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*';
}

// Three letters as one number, compared with immediates: a table of names
// would bring this file's read-only data, the problem texts among them,
// into the stub and the uninstaller.
static constexpr unsigned letters(char a, char b, char c) {
  return (unsigned)(unsigned char)a | (unsigned)(unsigned char)b << 8 |
         (unsigned)(unsigned char)c << 16;
}

bool is_device_name(const char* part, unsigned length) {
  // Windows reads a device name in what comes before the first dot, blanks
  // behind it dropped: "nul", "NUL.txt", "con .log" and "aux..." alike.
  unsigned base = 0;
  while (base < length && part[base] != '.') ++base;
  while (base > 0 && part[base - 1] == ' ') --base;
  if (base != 3 && (base != 4 || part[3] < '1' || part[3] > '9')) return false;
  // Setting bit 5 turns exactly 'A'..'Z' and 'a'..'z' into the lower-case
  // letter; no other byte becomes a letter that way.
  unsigned name = letters(part[0], part[1], part[2]) | letters(' ', ' ', ' ');
  if (base == 4) return name == letters('c', 'o', 'm') || name == letters('l', 'p', 't');
  return name == letters('c', 'o', 'n') || name == letters('p', 'r', 'n') ||
         name == letters('a', 'u', 'x') || name == letters('n', 'u', 'l');
}

// One component: the bytes between two backslashes (or the ends).
static NameProblem check_component(const char* part, unsigned length) {
  if (length == 0) return name_empty_component;
  if ((length == 1 && part[0] == '.') || (length == 2 && part[0] == '.' && part[1] == '.'))
    return name_dot_component;
  char last = part[length - 1];
  if (last == '.' || last == ' ') return name_trailing_dot_or_blank;
  if (is_device_name(part, length)) return name_device_name;
  return name_ok;
}

NameProblem check_entry_name(const char* name, unsigned length) {
  if (length == 0) return name_empty;
  if (name[0] == '\\') return name_leading_backslash;
  if (name[length - 1] == '\\') return name_trailing_backslash;
  for (unsigned i = 0; i < length; ++i) {
    unsigned char c = (unsigned char)name[i];
    if (c < 0x20) return name_control_character;
    if (c == ':') return name_has_drive;
    if (c == '/') return name_has_forward_slash;
    if (is_reserved(c)) return name_reserved_character;
  }
  unsigned start = 0;
  for (unsigned i = 0; i <= length; ++i) {
    if (i == length || name[i] == '\\') {
      NameProblem problem = check_component(name + start, i - start);
      if (problem != name_ok) return problem;
      start = i + 1;
    }
  }
  return name_ok;
}

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
    case name_device_name: return "a Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
  }
  return "unknown problem";
}
