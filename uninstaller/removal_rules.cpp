#include "uninstaller/removal_rules.h"

#include "common/bounded_text.h"
#include "common/entry_name.h"
#include "uninstaller/uninstall_data.h"

static bool is_separator(char c) { return c == '\\' || c == '/'; }

static bool same_bytes(const char* a, const char* b, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Case-insensitive for ASCII letters only: other bytes of the code page
// must match exactly, which they do when both texts come from one source.
static bool same_ignoring_case(const char* text, const char* prefix, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    if (lower_ascii(text[i]) != lower_ascii(prefix[i])) return false;
  }
  return true;
}

static bool starts_with_ignoring_case(const char* text, const char* prefix) {
  return same_ignoring_case(text, prefix, text_length(prefix));
}

// Length of the drive part as the runtime's path splitter sees it.
static unsigned drive_length(const char* path) {
  return (path[0] != 0 && path[1] == ':') ? 2 : 0;
}

bool folder_of(char* out, unsigned capacity, const char* path) {
  unsigned end = drive_length(path);
  for (unsigned i = end; path[i] != 0; ++i) {
    if (is_separator(path[i])) end = i + 1;
  }
  return copy_text_prefix(out, capacity, path, end);
}

void copy_folder_name(char* out, const unsigned char* random) {
  copy_text(out, kCopyFolderNameSize, "lume");
  char* digit = out + 4;
  for (int i = 0; i < kCopyFolderRandomBytes; ++i) {
    *digit++ = "0123456789abcdef"[random[i] >> 4];
    *digit++ = "0123456789abcdef"[random[i] & 15];
  }
  *digit = 0;
}

bool temporary_copy_paths(char* folder, char* copy, const char* temp_value,
                          const char* folder_name) {
  if (temp_value[0] == 0) return false;
  const char* separator = ends_with_backslash(temp_value) ? "" : "\\";
  return join_text(folder, kPathCapacity, temp_value, separator, folder_name) &&
         join_text(copy, kPathCapacity, folder, "\\", LUME_UNINSTALLER_COPY_NAME);
}

bool copy_command_line(char* out, unsigned capacity, const char* copy_path,
                       const char* installed_path) {
  return join_text(out, capacity, "\"", copy_path, "\" \"") &&
         append_text(out, capacity, installed_path) && append_text(out, capacity, "\"");
}

bool is_inside_folder(const char* path, const char* folder) {
  if (folder[0] == 0 || !starts_with_ignoring_case(path, folder)) return false;
  const char* name = path + text_length(folder);
  return check_entry_name(name, text_length(name)) == name_ok;
}

// A part made only of dots and blanks: the platform reads "." and ".." as
// steps, and strips trailing dots and blanks, so such a part may act as one.
static bool is_dot_part(const char* part, unsigned length) {
  if (length == 0) return false;
  for (unsigned i = 0; i < length; ++i) {
    if (part[i] != '.' && part[i] != ' ') return false;
  }
  return true;
}

bool is_shortcut_path(const char* path) {
  unsigned start;
  if (drive_length(path) == 2 && is_separator(path[2])) {
    start = 2;
  } else if (is_separator(path[0]) && is_separator(path[1])) {
    start = 0;  // a redirected desktop or Start menu on a network share
  } else {
    return false;
  }
  unsigned part = start;
  for (unsigned i = start;; ++i) {
    char c = path[i];
    if (c == ':') return false;  // a stream of some other file
    if (c == 0 || is_separator(c)) {
      if (is_dot_part(path + part, i - part)) return false;
      if (c == 0) break;
      part = i + 1;
    }
  }
  return ends_with_ignoring_case(path, ".lnk");
}

// Length of folder and the separator behind it when path begins with them,
// else 0. A folder reported with a trailing separator (a drive's root) is
// matched without it, as the installer adds one of its own.
static unsigned folder_prefix_length(const char* path, const char* folder) {
  unsigned length = text_length(folder);
  if (length > 0 && is_separator(folder[length - 1])) --length;
  if (length == 0 || !same_ignoring_case(path, folder, length) || path[length] != '\\') return 0;
  return length + 1;
}

static unsigned inside_shortcut_folder(const char* path, const char* folder, bool below_group) {
  unsigned prefix = folder_prefix_length(path, folder);
  if (prefix == 0) return 0;
  const char* name = path + prefix;
  if (below_group && *name == '\\') ++name;  // the empty group
  return check_entry_name(name, text_length(name)) == name_ok ? prefix : 0;
}

unsigned shortcut_folder_length(char kind, const char* path, const ShortcutFolders* folders) {
  if (!is_shortcut_path(path)) return 0;
  bool in_group = kind == record_group_shortcut;
  if (!in_group && kind != record_desktop_shortcut) return 0;
  const char* user = in_group ? folders->user_programs : folders->user_desktop;
  const char* common = in_group ? folders->common_programs : folders->common_desktop;
  unsigned length = inside_shortcut_folder(path, user, in_group);
  return length != 0 ? length : inside_shortcut_folder(path, common, in_group);
}

bool is_own_uninstall_key(const char* key, const char* title) {
  static const char kPrefix[] = LUME_UNINSTALL_KEY_PREFIX;
  if (title[0] == 0) return false;
  for (const char* c = title; *c != 0; ++c) {
    if (*c == '\\') return false;
  }
  unsigned prefix = sizeof kPrefix - 1;
  return text_length(key) == prefix + text_length(title) &&
         same_bytes(key, kPrefix, prefix) && same_bytes(key + prefix, title, text_length(title));
}

bool climb_to_parent(char* path) {
  unsigned drive = drive_length(path);
  unsigned last = 0;
  bool found = false;
  for (unsigned i = drive; path[i] != 0; ++i) {
    if (is_separator(path[i])) {
      last = i;
      found = true;
    }
  }
  if (!found || last == drive) return false;  // no folder part, or the root alone
  path[last] = 0;
  return true;
}
