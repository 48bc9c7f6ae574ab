// Paths as the system forms them, for the stub and the uninstaller alike:
// the full form of a typed or recorded path, and the shell's own folders.
#pragma once

#include <windows.h>

// The full, canonical form of path as the system reads it (GetFullPathNameA):
// absolute, no "." or ".." parts, no doubled separators, '/' read as '\\'.
// out holds kPathCapacity bytes. False, with out empty, when the system
// cannot form it or it does not fit.
bool full_path(char* out, const char* path);

// The file-system path of the shell folder csidl (CSIDL_PROGRAMS, ...)
// into out (kPathCapacity bytes), through SHGetSpecialFolderLocation and
// SHGetPathFromIDListA, which every version of the shell has. owner is the
// window for any box the shell shows. False, with out empty, when the
// folder has no path.
bool special_folder_path(HWND owner, int csidl, char* out);
