// The rule a relative file name must meet before the installer creates it
// or the uninstaller deletes it: the payload's names, and the paths the
// uninstaller's data file gives below the installation folder. Pure code:
// no platform call.
#pragma once

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
// device: CON, CONIN$, CONOUT$, PRN, AUX, NUL, COM0 to COM9 or LPT0 to LPT9
// (and COM or LPT with a superscript 1, 2 or 3, as code page bytes or as
// UTF-8) in any letter case, alone or before an extension, trailing blanks
// and dots ignored.
bool is_device_name(const char* part, unsigned length);
