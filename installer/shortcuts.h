// Shortcut files in the Start menu and on the desktop, each recorded in the
// uninstall data file so that the uninstaller removes it again.
#pragma once

#include <windows.h>

#include "installer/config_block.h"

// One shortcut. target: the full path of the file it starts; arguments:
// null for none; group: given, the shortcut goes into that folder of the
// current user's Start-menu programs (record "1"); null, onto the desktop
// (record "2"); owner: passed to the folder lookup. The record is written
// before the shortcut is saved, so a shortcut that cannot be saved is still
// recorded. No shortcut and no record when the folder cannot be found or
// the link path would not fit a path. Nothing is reported.
void create_shortcut(HWND owner, const char* target, const char* arguments, const char* group,
                     const char* link_name);

// Every row of table from row 00 up to the first empty LinkName, each
// targeting install_folder + FileField (split at its ".exe " into target
// and arguments). A row whose target would not fit a path is left out.
void create_shortcuts(const ShortcutRow* table, HWND owner, const char* group);

// Rows in use: from row 00 up to the first empty LinkName.
int shortcut_rows_in_use(const ShortcutRow* table);
