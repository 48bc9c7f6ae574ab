// What the uninstaller is willing to remove, and the paths it forms.
//
// The data file lies in the installation folder, which a user may be able to
// write, while the uninstaller may run with administrator rights. So a record
// is acted on only when it names something an installation could have made:
// a file inside the installation folder, a shortcut file, or a key in the
// list of installed programs. Pure code: no platform call.
#pragma once

enum {
  kUninstallPathSize = 260,  // the platform's path limit, terminator included
  // "\"copy\" \"installed\"": two paths, four quotes, a blank, the terminator.
  kCopyCommandSize = 2 * kUninstallPathSize + 4,
};

// The folder part of path: everything up to and including its last '\\' or
// '/', or its drive ("C:") when there is no separator; empty when neither.
bool folder_of(char* out, unsigned capacity, const char* path);

// temp_value, a '\\' unless it ends in one, then "lumeuinsx.exe". False (and
// nothing usable in out) for an empty value or a result longer than a path.
bool temporary_copy_path(char* out, const char* temp_value);

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

// True when key names a subkey of
// "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" (any letter case).
bool is_uninstall_key(const char* key);

// One step of the climb that prunes emptied folders: cuts path back to the
// folder that holds it (drive kept, trailing separator dropped). False, with
// path unchanged, when there is no folder part or it is the root.
bool climb_to_parent(char* path);
