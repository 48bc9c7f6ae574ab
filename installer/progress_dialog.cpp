#include "installer/progress_dialog.h"

#include "installer/dialog_ids.h"
#include "installer/shared_state.h"
#include "payload/payload_hooks.h"

enum {
  kThreadStackBytes = 1024,
  // Sent by the main thread; the dialog thread handles them also inside the
  // cancel question's own message loop.
  kSetNameMessage = WM_APP + 1,  // lparam: the name
  kEndMessage = WM_APP + 2,
};

// Set by the dialog thread as it returns, so that the main thread does not
// wait forever for a dialog that could not be made.
static LONG status_thread_done;
// Dialog thread only: the main thread asked to end the dialog while the
// cancel question was open; it ends as soon as the question is answered.
static bool end_after_question;

static void ask_cancel(HWND dialog) {
  // Already asking: the box disables the dialog, but posted commands still
  // arrive, and a second question would clear the pause under the first.
  if (load_word(pause_flag) != 0) return;
  store_word(pause_flag, 1L);
  bool yes = MessageBoxA(dialog, "Cancel Installation?", "Setup", MB_YESNO) == IDYES;
  // The reader tests the pause first and the cancel after it: cancel_flag
  // must be set, and the dialog told to end, before the pause is lifted.
  if (yes) store_word(cancel_flag, 1L);
  if (yes || end_after_question) EndDialog(dialog, 0);
  store_word(pause_flag, 0L);
}

INT_PTR CALLBACK status_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  store_word(status_dialog, dialog);
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(dialog, setup_caption);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_STATUS_CANCEL || LOWORD(wparam) == IDCANCEL) ask_cancel(dialog);
      return TRUE;
    case kSetNameMessage:
      SetDlgItemTextA(dialog, IDC_STATUS_TEXT, reinterpret_cast<const char*>(lparam));
      return TRUE;
    case kEndMessage:
      if (load_word(pause_flag) != 0) {
        end_after_question = true;
      } else {
        EndDialog(dialog, 0);
      }
      return TRUE;
  }
  return FALSE;
}

DWORD WINAPI status_thread(LPVOID owner) {
  DialogBoxParamA(module_instance, IDD_STATUS_DIALOG, static_cast<HWND>(owner),
                  status_dialog_proc, 0);
  store_word(status_thread_done, 1L);
  return 0;
}

bool start_status_dialog() {
  DWORD id;
  HANDLE thread = CreateThread(nullptr, kThreadStackBytes, status_thread, nullptr, 0, &id);
  if (thread == nullptr) return false;
  CloseHandle(thread);
  while (load_word(status_dialog) == nullptr) {
    if (load_word(status_thread_done) != 0) return false;
    Sleep(kPollMs);
  }
  return true;
}

void show_status_name(const char* name) {
  HWND dialog = load_word(status_dialog);
  // A window that has gone (the thread ended with it) makes this return at
  // once.
  if (dialog != nullptr) SendMessageA(dialog, kSetNameMessage, 0, reinterpret_cast<LPARAM>(name));
}

void end_status_dialog() {
  HWND dialog = load_word(status_dialog);
  if (dialog == nullptr) return;
  while (load_word(pause_flag) != 0) Sleep(kPollMs);
  SendMessageA(dialog, kEndMessage, 0, 0);
  // A question opened just before the request arrived: its answer decides
  // whether the installation was cancelled, so wait for it.
  while (load_word(pause_flag) != 0) Sleep(kPollMs);
}
