// What a payload directory must satisfy before a single file is written.
//
// The installer refuses a directory that breaks any of these rules as a
// corrupted installation file; the building tool refuses to write one. Pure
// code: no platform call.
#pragma once

#include <stdint.h>

#include "common/entry_name.h"

enum DirectoryProblem {
  directory_ok = 0,
  directory_too_large,      // more than the 131072-byte directory buffer
  directory_overrun,        // an entry runs past directory_size
  directory_not_filled,     // bytes left over behind the last entry
  directory_size_mismatch,  // the sizes do not add up to total_size
  directory_bad_name,       // see check_entry_name (common/entry_name.h)
  directory_path_too_long,  // folder + name would pass 259 characters
};

// The longest installation folder, its final backslash included, below
// which a name of name_length bytes still fits a path of 259 characters.
unsigned longest_folder_for(unsigned name_length);

// The length of the longest name among the file_count entries of a
// directory that check_directory accepts; 0 for none.
unsigned longest_name_length(const unsigned char* directory, uint32_t directory_size,
                             uint32_t file_count);

// Checks a directory of directory_size bytes holding file_count entries
// whose sizes add up to total_size, for extraction under a folder text of
// folder_length characters (its final backslash included).
DirectoryProblem check_directory(const unsigned char* directory, uint32_t directory_size,
                                 uint32_t file_count, uint32_t total_size,
                                 unsigned folder_length);

const char* directory_problem_text(DirectoryProblem problem);
const char* name_problem_text(NameProblem problem);
