#include "installer/dir_dialog.h"

#include "common/bounded_text.h"
#include "installer/config_block.h"
#include "installer/dialog_ids.h"
#include "installer/folder_tree.h"
#include "installer/shared_state.h"

// One run of the dialog. Static: the dialog runs once at a time, on the
// main thread, and is not re-entered.
struct DirSelectState {
  char start_folder[kFolderTextSize];   // as passed in; the tree opens along it
  char chosen_folder[kFolderTextSize];  // the proposal, then the text OK accepted
  int cancelled;                        // 1 once Cancel or Escape ended the dialog
  unsigned longest_choice;              // characters the caller's buffer can take
};

static DirSelectState dir_state;

void read_current_version_value(const char* value_name, char* text) {
  text[0] = 0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return;
  // One byte short of the buffer: a value stored without its terminator
  // still gets one.
  DWORD size = kFolderPathSize - 1;
  if (RegQueryValueExA(key, value_name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
      ERROR_SUCCESS) {
    text[size] = 0;
  } else {
    text[0] = 0;
  }
  RegCloseKey(key);
}

// Empty is no folder; a longer text than the caller can take would come
// back cut, and a cut path may name another folder.
static bool edit_text_acceptable(HWND dialog) {
  int length = GetWindowTextLengthA(GetDlgItem(dialog, IDC_DIR_EDIT));
  return length > 0 && unsigned(length) <= dir_state.longest_choice;
}

void update_ok_button(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDC_DIR_OK), edit_text_acceptable(dialog));
}

// The start folder, a backslash unless it ends in one, and FolderName. A
// proposal too long to accept is still shown whole; OK stays disabled.
static void propose_folder(HWND dialog) {
  char proposal[int(kFolderTextSize) + int(kTextSlotWidth)];
  const char* start = dir_state.start_folder;
  join_text(proposal, sizeof proposal, start, ends_with_backslash(start) ? "" : "\\",
            config.FolderName);
  copy_text(dir_state.chosen_folder, sizeof dir_state.chosen_folder, proposal);
  SetDlgItemTextA(dialog, IDC_DIR_EDIT, proposal);
  update_ok_button(dialog);
}

static void accept_edit_text(HWND dialog) {
  // OK is disabled then, but a posted command still arrives: keep the
  // dialog open rather than hand back nothing or a cut folder.
  if (!edit_text_acceptable(dialog)) return;
  GetDlgItemTextA(dialog, IDC_DIR_EDIT, dir_state.chosen_folder, kFolderTextSize);
  EndDialog(dialog, 0);
}

INT_PTR CALLBACK dir_select_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextA(dialog, setup_caption);
      dir_state.cancelled = 0;
      // The tree's selections write into the edit box as it opens; the
      // proposal then replaces what they wrote.
      HWND tree = create_folder_tree(dialog);
      if (tree != nullptr) open_tree_at_path(dir_state.start_folder, nullptr, tree);
      propose_folder(dialog);
      return TRUE;  // the focus goes to the first tab stop, the edit box
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_DIR_OK:
          accept_edit_text(dialog);
          break;
        case IDC_DIR_CANCEL:
        case IDCANCEL:
          dir_state.cancelled = 1;
          EndDialog(dialog, 0);
          break;
        case IDC_DIR_EDIT:
          if (HIWORD(wparam) == EN_UPDATE || HIWORD(wparam) == EN_CHANGE) update_ok_button(dialog);
          break;
      }
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR* notification = reinterpret_cast<const NMHDR*>(lparam);
      if (notification->idFrom == IDC_DIR_TREE) on_tree_notify(notification->hwndFrom, notification);
      // The answer 0: no expansion or selection is ever refused.
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
      return TRUE;
    }
  }
  return FALSE;
}

int select_install_folder(HWND owner, char* folder, unsigned capacity) {
  if (capacity == 0) return 0;
  dir_state.cancelled = 0;
  dir_state.longest_choice =
      capacity < unsigned(kFolderTextSize) ? capacity - 1 : unsigned(kFolderTextSize) - 1;
  if (!copy_text(dir_state.start_folder, kFolderTextSize, folder)) return 0;
  copy_text(dir_state.chosen_folder, kFolderTextSize, folder);

  DialogBoxParamA(module_instance, IDD_DIR_SELECT_DIALOG, owner, dir_select_dialog_proc, 0);

  if (lstrcmpA(dir_state.start_folder, dir_state.chosen_folder) == 0) return 0;
  if (dir_state.cancelled != 0) return 0;
  if (text_length(dir_state.chosen_folder) >= capacity) return 0;
  copy_text(folder, capacity, dir_state.chosen_folder);
  return 1;
}
