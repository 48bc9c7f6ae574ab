#include "installer/shortcuts.h"

#include <shlobj.h>

#include "common/bounded_text.h"
#include "common/system_paths.h"
#include "installer/shared_state.h"
#include "uninstaller/removal_rules.h"
#include "uninstaller/uninstall_data.h"

// The shortcut's path: the special folder, the group's folder when there
// is a group, then the link name; the group's folder is created here. False
// when the folder cannot be found, the whole would not fit a path, or the
// uninstaller would refuse to remove the link (removal_rules.h: a name
// without ".lnk", a group ending in a dot or blank...): the shortcut is
// then neither made nor recorded.
static bool link_path_of(char* path, HWND owner, const char* group, const char* link_name) {
  char folder[kPathCapacity];
  RecordKind kind = group != nullptr ? record_group_shortcut : record_desktop_shortcut;
  if (!special_folder_path(owner, group != nullptr ? CSIDL_PROGRAMS : CSIDL_DESKTOP, folder) ||
      !join_text(path, kPathCapacity, folder, "\\", group, group != nullptr ? "\\" : nullptr) ||
      !append_text(path, kPathCapacity, link_name) ||
      shortcut_folder_length(kind, path, folder) == 0)
    return false;
  if (group != nullptr) {
    char group_folder[kPathCapacity];
    copy_text_prefix(group_folder, sizeof group_folder, path,
                     text_length(folder) + 1 + text_length(group));
    CreateDirectoryA(group_folder, nullptr);  // an existing folder is fine
  }
  return true;
}

void create_shortcut(HWND owner, const char* target, const char* arguments, const char* group,
                     const char* link_name) {
  if (FAILED(CoInitialize(nullptr))) return;
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  char path[kPathCapacity];
  WCHAR wide_path[kPathCapacity];
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IShellLinkA, reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(link->SetPath(target)) && SUCCEEDED(link->SetArguments(arguments)) &&
      link_path_of(path, owner, group, link_name)) {
    write_record(group != nullptr ? record_group_shortcut : record_desktop_shortcut, path);
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, kPathCapacity);
    // Saved once with target and arguments, and again with the target's
    // first icon, which only a saved link reliably keeps.
    char icon[kPathCapacity];
    int icon_index;
    if (SUCCEEDED(file->Save(wide_path, TRUE)) && SUCCEEDED(link->SetIconLocation(target, 0)) &&
        SUCCEEDED(link->GetIconLocation(icon, kPathCapacity, &icon_index)))
      file->Save(wide_path, TRUE);
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
}

int shortcut_rows_in_use(const ShortcutRow* table) {
  int rows = 0;
  while (rows < kShortcutRows && table[rows].LinkName[0] != 0) ++rows;
  return rows;
}

void create_shortcuts(const ShortcutRow* table, HWND owner, const char* group) {
  int rows = shortcut_rows_in_use(table);
  for (int row = 0; row < rows; ++row) {
    const char* field = table[row].FileField;
    // Only the field is searched for ".exe ": the installation folder in
    // front of it may hold that text itself.
    const char* mark = arguments_mark(field);
    unsigned target_length = mark != nullptr ? unsigned(mark - field) : text_length(field);
    char target[kPathCapacity];
    unsigned folder_length = text_length(install_folder);
    if (folder_length + target_length >= sizeof target) continue;  // no cut target
    copy_text(target, sizeof target, install_folder);
    copy_text_prefix(target + folder_length, sizeof target - folder_length, field, target_length);
    create_shortcut(owner, target, mark != nullptr ? mark + 1 : nullptr, group,
                    table[row].LinkName);
  }
}
