// What the uninstaller is willing to remove, and the paths it forms.
//
// The data file lies in the installation folder, which a user may be able to
// write, while the uninstaller may run with administrator rights. So a record
// is acted on only when it names something this installation could have
// made: a file inside the installation folder, a shortcut file in the shell
// folder of its kind, or the registration of the data file's own title.
// Pure code: no platform call.
#pragma once

#include "common/bounded_text.h"

enum {
  // "\"copy\" \"installed\"": two paths, four quotes, a blank, the terminator.
  kCopyCommandSize = 2 * kPathCapacity + 4,
  // Random bytes in the name of the copy's own folder: 128 bits, which no
  // one guesses ahead of it.
  kCopyFolderRandomBytes = 16,
  // "lume", two hexadecimal digits a byte, the terminator.
  kCopyFolderNameSize = 4 + 2 * kCopyFolderRandomBytes + 1,
};

// The folder part of path: everything up to and including its last '\\' or
// '/', or its drive ("C:") when there is no separator; empty when neither.
bool folder_of(char* out, unsigned capacity, const char* path);

// The name of the folder the temporary copy gets to itself: "lume" and
// the kCopyFolderRandomBytes of random in lower-case hexadecimal.
void copy_folder_name(char* out, const unsigned char* random);

// The copy's folder: temp_value, a '\\' unless it ends in one, and
// folder_name; and the copy: that folder, '\\' and "lumeuinsx.exe". False
// (and nothing usable in either) for an empty value or a copy's path
// longer than a path.
bool temporary_copy_paths(char* folder, char* copy, const char* temp_value,
                          const char* folder_name);

// The copy's command line: both paths in double quotes, so that blanks in
// either, the temporary folder's included, do not split them.
bool copy_command_line(char* out, unsigned capacity, const char* copy_path,
                       const char* installed_path);

// True when path is folder (compared without regard to ASCII case) followed
// by a name that the installer would have extracted: relative, without
// drive, stream, "." or ".." parts, forward slashes or empty components.
bool is_inside_folder(const char* path, const char* folder);

// True for a shortcut record's path: absolute with a drive, no stream, no
// "." or ".." part, and ending in ".lnk" in any letter case.
bool is_shortcut_path(const char* path);

// The shell folders that hold the shortcuts an installation makes, as the
// system reports them: the current user's and all users' Start-menu
// programs and desktop folders. An empty text for a folder the system did
// not report; it then holds nothing.
struct ShortcutFolders {
  const char* user_programs;
  const char* common_programs;
  const char* user_desktop;
  const char* common_desktop;
};

// For a "1" or "2" record's path: the length of its leading shell folder
// and the separator behind it, where the climb that prunes emptied folders
// must stop; 0 when the record is not to be acted on. A "1" record lies in
// a programs folder ("<programs>\\<group>\\<link>", an empty group leaving
// two separators in a row; the group may hold folders of its own), a "2"
// record in a desktop folder. Below the shell folder the path must be a
// name the installer would have written, and is_shortcut_path must hold.
unsigned shortcut_folder_length(char kind, const char* path, const ShortcutFolders* folders);

// True when key is the registration the installer makes for title:
// LUME_UNINSTALL_KEY_PREFIX followed by the title, byte for byte, as the
// installer writes it. An empty title (the list itself) or one with a
// backslash (a key below another product's) has no registration of its own.
bool is_own_uninstall_key(const char* key, const char* title);

// One step of the climb that prunes emptied folders: cuts path back to the
// folder that holds it (drive kept, trailing separator dropped). False, with
// path unchanged, when there is no folder part or it is the root.
bool climb_to_parent(char* path);
