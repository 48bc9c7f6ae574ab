// The directory selection dialog: the user confirms or changes the
// proposed installation folder in an edit box, or picks one in the folder
// tree. Also the registry lookup that gives the default parent folder.
#pragma once

#include <windows.h>

// Runs "DirSelectDialog" modally, owned by owner. folder holds the default
// parent folder on entry; the dialog proposes it, a backslash and
// FolderName. Returns 1 with the accepted folder in folder (capacity bytes,
// terminator included), or 0 with folder unchanged: on Cancel or Escape,
// when the accepted text equals the folder passed in, or when that folder
// does not fit the dialog's own buffers. OK stays disabled, with a short
// reason beside it, while the text is empty, longer than capacity - 1
// characters (a folder is never handed back shortened), or names a folder
// whose full form (install_folder.h) does not fit a path with room for a
// name of longest_name bytes below it.
int select_install_folder(HWND owner, char* folder, unsigned capacity, unsigned longest_name);

INT_PTR CALLBACK dir_select_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Enables OK while the edit box holds a text that can be accepted.
void update_ok_button(HWND dialog);

// The value value_name of the key "Software\\Microsoft\\Windows\\CurrentVersion"
// under HKEY_LOCAL_MACHINE, as text, into text (kPathCapacity bytes); empty when
// the key or the value is missing or the value is longer than 259 bytes.
void read_current_version_value(const char* value_name, char* text);
