// The folder tree of the directory selection dialog: the fixed and network
// drives and their folders, read from disk one level ahead of what the user
// has opened, so that an item shows an expand button exactly when it has
// subfolders. Selecting an item writes its path into the dialog's edit box.
//
// Items carry only their text and pictures; an item's path is rebuilt from
// its ancestors' texts. A folder enters the tree only when its whole path,
// with the final backslash, fits a path buffer (kFolderPathSize): anything
// longer is left out rather than cut, so every path the tree writes names
// exactly the folder the user picked.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include "common/bounded_text.h"

enum {
  kFolderPathSize = kPathCapacity,  // 259 characters and the terminator
  kFolderTextSize = 261,            // a folder's text as a control gives it back: 260 characters
  kFolderItemType = 999,            // drive type that callers pass for folders
};

// Makes the tree control inside dialog, gives it the pictures and adds the
// drives. Null when the control cannot be made; the dialog then works with
// its edit box alone.
HWND create_folder_tree(HWND dialog);

// One item for each fixed or network drive from C: to Z:, with its folders.
void add_drive_roots(HWND tree);

// Lists the folders of path under parent, each once (without regard to
// case). A null parent first makes a drive item "X:" for path, with the
// pictures of drive_type (DRIVE_FIXED or DRIVE_REMOTE).
void add_subfolders(HWND tree, HTREEITEM parent, const char* path, UINT drive_type);

// True when a child of parent has the text name, without regard to case.
bool has_child_named(HWND tree, HTREEITEM parent, const char* name);

// The path of item, ending in '\\', in buffer (kFolderPathSize bytes).
// False, with buffer empty, when there is no such item or the path does
// not fit.
bool item_path(HWND tree, HTREEITEM item, char* buffer);

// The tree's notifications, passed on by the dialog.
void on_tree_notify(HWND tree, const NMHDR* notification);

// Opens the tree along path ("C:\\Data\\Tools", with or without a final
// backslash, letters in any case) from below item (null: the drives): each
// folder found is selected and the last one expanded. Where a name is not
// found, the first item of that level stays selected.
void open_tree_at_path(const char* path, HTREEITEM item, HWND tree);
