// What a payload directory must satisfy before a single file is written.
//
// The installer refuses a directory that breaks any of these rules as a
// corrupted installation file; the building tool refuses to write one. Pure
// code: no platform call.
#pragma once

#include <stdint.h>

enum DirectoryProblem {
  directory_ok = 0,
  directory_too_large,      // more than the 131072-byte directory buffer
  directory_overrun,        // an entry runs past directory_size
  directory_not_filled,     // bytes left over behind the last entry
  directory_size_mismatch,  // the sizes do not add up to total_size
  directory_bad_name,       // see check_entry_name
  directory_path_too_long,  // folder + name would pass 259 characters
};

enum NameProblem {
  name_ok = 0,
  name_empty,
  name_has_drive,              // a ':' anywhere (drives, alternate streams)
  name_has_forward_slash,      // the platform would take it as a separator
  name_leading_backslash,
  name_trailing_backslash,
  name_empty_component,        // two backslashes in a row
  name_dot_component,          // "." or ".." as a folder or file name
  name_trailing_dot_or_blank,  // the platform strips these, so the name would alias another
  name_control_character,      // bytes below 0x20, the terminator among them
  name_reserved_character,     // one of < > " | ? *, which no file name may hold
  name_device_name,            // CON, NUL, COM1...: Windows opens the device, not a file
};

// Checks one relative name of length bytes (not terminated).
NameProblem check_entry_name(const char* name, unsigned length);

// True when one component (length bytes, no backslash) names a Windows
// device: CON, PRN, AUX, NUL, COM1 to COM9 or LPT1 to LPT9 in any letter
// case, alone or before an extension, trailing blanks and dots ignored.
bool is_device_name(const char* part, unsigned length);

// Checks a directory of directory_size bytes holding file_count entries
// whose sizes add up to total_size, for extraction under a folder text of
// folder_length characters (its final backslash included).
DirectoryProblem check_directory(const unsigned char* directory, uint32_t directory_size,
                                 uint32_t file_count, uint32_t total_size,
                                 unsigned folder_length);

const char* directory_problem_text(DirectoryProblem problem);
const char* name_problem_text(NameProblem problem);
