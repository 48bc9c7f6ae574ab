// A test build of the installer's dialogs: the stub's code, flags and
// resources, with an entry that opens one dialog the way the install
// sequence does, so that tests can drive it as a user would.
//
//   dialog_probe folder TITLE FOLDER_NAME VALUE_NAME RESULT_FILE [LONGEST_NAME]
//     The default parent folder from the registry value VALUE_NAME (else
//     the current directory), then the directory selection dialog for a
//     payload whose longest name has LONGEST_NAME bytes (0 by default);
//     exits with its result and writes the folder it handed back to
//     RESULT_FILE.
//   dialog_probe progress TITLE GO_EVENT DONE_EVENT LOG_FILE NAME...
//     Starts the progress dialog; then, each time GO_EVENT is signalled,
//     shows the next NAME (after the last, ends the dialog), appends to
//     LOG_FILE what the main thread then sees, and signals DONE_EVENT.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "common/bounded_text.h"
#include "common/program_start.h"
#include "installer/config_block.h"
#include "installer/dialog_ids.h"
#include "installer/dir_dialog.h"
#include "installer/progress_dialog.h"
#include "installer/shared_state.h"

enum { kStepWaitMs = 20000 };

static int run_folder_dialog(int argc, char** argv) {
  copy_text(config.FolderName, kTextSlotWidth, argv[3]);
  // As the install sequence's first two steps do it.
  char folder[MAX_PATH] = {};
  read_current_version_value(argv[4], folder);
  if (folder[0] == 0) {
    DWORD length = GetCurrentDirectoryA(MAX_PATH - 1, folder);
    if (length == 0 || length >= MAX_PATH - 1) folder[0] = 0;
  }
  unsigned longest_name = argc > 6 ? unsigned(atoi(argv[6])) : 0;
  int result = select_install_folder(nullptr, folder, MAX_PATH - 1, longest_name);
  FILE* out = fopen(argv[5], "wb");
  if (out == nullptr) return 4;
  fputs(folder, out);
  fclose(out);
  return result;
}

// "WHAT 'TEXT' pause P cancel C", as the main thread sees the flags now.
static void log_line(const char* log, const char* what, const char* text) {
  char pause[] = " pause 0", cancel[] = " cancel 0\n";
  pause[7] = char('0' + load_word(pause_flag));
  cancel[8] = char('0' + load_word(cancel_flag));
  char line[MAX_PATH + 64];
  join_text(line, sizeof line, what, " '", text, "'");
  append_text(line, sizeof line, pause);
  append_text(line, sizeof line, cancel);
  FILE* out = fopen(log, "ab");
  if (out == nullptr) return;
  fputs(line, out);
  fclose(out);
}

static int run_progress_dialog(int argc, char** argv) {
  HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[4]);
  const char* log = argv[5];
  if (go == nullptr || done == nullptr) return 4;
  log_line(log, "started", start_status_dialog() ? "yes" : "no");
  SetEvent(done);
  for (int i = 6; i <= argc; ++i) {
    if (WaitForSingleObject(go, kStepWaitMs) != WAIT_OBJECT_0) return 5;
    if (i == argc) {
      end_status_dialog();
      log_line(log, "ended", "");
    } else {
      show_status_name(argv[i]);
      // Read back at once: the text must already be there.
      char shown[MAX_PATH] = {};
      GetDlgItemTextA(load_word(status_dialog), IDC_STATUS_TEXT, shown, sizeof shown);
      log_line(log, "shown", shown);
    }
    SetEvent(done);
  }
  return 0;
}

int program_main(int argc, char** argv) {
  module_instance = GetModuleHandleA(nullptr);
  if (argc < 6) return 3;
  copy_text(config.AppTitle, kTextSlotWidth, argv[2]);
  compose_setup_caption(setup_caption, config.AppTitle);
  if (lstrcmpA(argv[1], "folder") == 0) return run_folder_dialog(argc, argv);
  if (lstrcmpA(argv[1], "progress") == 0) return run_progress_dialog(argc, argv);
  return 3;
}
