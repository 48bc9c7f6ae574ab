// The one form of the installation folder: what the dialog accepts and the
// install sequence creates, records, registers and passes on.
#pragma once

enum FolderProblem {
  folder_ok = 0,
  folder_empty,
  folder_too_long,  // its full form does not fit a path
  folder_no_room,   // it does, but the payload's longest name would not fit below it
};

// out (kPathCapacity bytes) = the full form of typed (full_path: absolute,
// no "." or ".." parts, no doubled separators, '/' read as '\\'), ending
// in '\\'. Anything but folder_ok leaves out empty. longest_name is the
// length of the payload's longest name, 0 when not known.
FolderProblem install_folder_form(char* out, const char* typed, unsigned longest_name);
