#include "installer/install_sequence.h"

#include <stdio.h>

#include "common/bounded_text.h"
#include "common/child_process.h"
#include "installer/config_block.h"
#include "installer/dir_dialog.h"
#include "installer/install_folder.h"
#include "installer/progress_dialog.h"
#include "installer/shared_state.h"
#include "installer/shortcuts.h"
#include "installer/uninstaller_image.h"
#include "payload/archive_reader.h"
#include "payload/decoder.h"
#include "payload/directory_rules.h"
#include "payload/extract_sink.h"
#include "payload/payload_extraction.h"
#include "payload/payload_hooks.h"
#include "uninstaller/removal_rules.h"
#include "uninstaller/uninstall_data.h"

// The folder the dialog starts from: "ProgramFilesDir", else the current
// directory; empty when neither fits.
static void default_parent_folder(char* folder) {
  read_current_version_value("ProgramFilesDir", folder);
  if (folder[0] != 0) return;
  DWORD length = GetCurrentDirectoryA(kPathCapacity - 1, folder);
  if (length == 0 || length >= kPathCapacity - 1) folder[0] = 0;
}

bool set_install_folder(const char* chosen) {
  return install_folder_form(install_folder, chosen, 0) == folder_ok;
}

// A file in the installation folder, created with the folders above it.
static FILE* create_in_folder(const char* name) {
  char path[kPathCapacity];
  if (!join_text(path, sizeof path, install_folder, name)) return nullptr;
  return open_output_file(path);
}

static void close_data_file() {
  if (uninstall_data_file != nullptr) fclose(uninstall_data_file);
  uninstall_data_file = nullptr;
}

// The stub carries the uninstaller as a stream of the payload's format,
// which the payload's decoder turns back into "lumeuins.exe" byte for byte.
// Static, as the decoder's functions take no context.
static struct {
  bool handed_out;   // uninstaller_image given to the decoder, in one piece
  FILE* file;
  unsigned written;  // bytes of the uninstaller that reached the file
} uninstaller_copy;

static int32_t read_uninstaller_image(const unsigned char** bytes) {
  if (uninstaller_copy.handed_out) return 0;
  uninstaller_copy.handed_out = true;
  *bytes = uninstaller_image;
  return int32_t(uninstaller_image_size);
}

static int32_t write_uninstaller_image(const unsigned char* bytes, int32_t count) {
  uninstaller_copy.written += write_bytes(uninstaller_copy.file, bytes, uint32_t(count));
  return count;
}

// True when the whole uninstaller is in the file, and nothing else.
static bool write_uninstaller(FILE* file) {
  uninstaller_copy.handed_out = false;
  uninstaller_copy.file = file;
  uninstaller_copy.written = 0;
  return decode_stream(read_uninstaller_image, write_uninstaller_image,
                       uninstaller_image_decoded_size) == decode_ok &&
         uninstaller_copy.written == uninstaller_image_decoded_size;
}

// "lumeuins.exe", then "lumeuins.dat" with the title as its first line. An
// uninstaller cut short would be registered and then fail: it counts as
// one that cannot be created.
static bool write_uninstaller_and_data_file() {
  FILE* program = create_in_folder(LUME_UNINSTALLER_NAME);
  bool written = program != nullptr && write_uninstaller(program);
  if (program != nullptr && fclose(program) != 0) written = false;
  if (!written) {
    show_error(LUME_CANNOT_CREATE_UNINSTALLER);
    return false;
  }

  uninstall_data_file = create_in_folder(LUME_UNINSTALL_DATA_NAME);
  if (uninstall_data_file == nullptr) {
    show_error(LUME_CANNOT_CREATE_DATA_FILE);
    return false;
  }
  // The uninstaller reads lines of up to kDataLineLimit bytes: a longer
  // title would spill its tail into the next line, where it would be read
  // as a record.
  char title[kDataLineLimit + 1];
  copy_text(title, sizeof title, config.AppTitle);
  write_line(title);
  return true;
}

// "Do you wish to create desktop shortcut icons?", asked only when the
// table has rows; the rows to make, 0 unless the answer was Yes.
static int ask_for_desktop_shortcuts() {
  int rows = shortcut_rows_in_use(config.DesktopShortcuts);
  if (rows > 0 && MessageBoxA(main_window, "Do you wish to create desktop shortcut icons?",
                              setup_caption, MB_YESNO) != IDYES)
    rows = 0;
  return rows;
}

// Reports why the payload could not be opened, or asks for desktop
// shortcuts and extracts the payload under the progress dialog. True when
// every file is in place; otherwise the outcome has been shown (or was a
// cancel) and the data file is closed.
static bool extract_into_folder(const char* failure, int* desktop_rows) {
  if (failure != nullptr) {
    close_data_file();
    show_error(failure);
    return false;
  }
  *desktop_rows = ask_for_desktop_shortcuts();
  // Without its dialog the extraction still runs; it cannot be cancelled then.
  start_status_dialog();
  ExtractionResult result = extract_payload(install_folder, &failure);
  // Waits for an open cancel question: a Yes given now still cancels.
  end_status_dialog();
  if (result == extraction_complete && load_word(cancel_flag) == 0) return true;
  close_data_file();
  if (result == extraction_failed && load_word(cancel_flag) == 0) show_error(failure);
  return false;
}

static void set_text_value(HKEY key, const char* name, const char* text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 text_length(text) + 1);
}

// The entry in the list of installed programs, and its record. A title
// that has no registration of its own (removal_rules.h), which the
// uninstaller would refuse to delete, is not registered.
static void register_uninstaller() {
  char key_path[kPathCapacity];
  if (!uninstall_key_path(key_path, config.AppTitle)) return;
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  write_record(record_registry_key, key_path);
  set_text_value(key, "DisplayName", config.AppTitle);
  char command[kPathCapacity + 2];
  join_text(command, sizeof command, "\"", install_folder, LUME_UNINSTALLER_NAME, "\"");
  set_text_value(key, "UninstallString", command);
  RegCloseKey(key);
}

// Starts the post-install program and waits for it, dispatching the main
// thread's messages meanwhile. Returns true when a quit message was taken
// from the queue, which the caller must pass on.
static bool run_after_install(int* quit_code) {
  if (config.RunAfterInstall[0] == 0) return false;
  char command[int(kPathCapacity) + int(kTextSlotWidth)];
  if (!join_text(command, sizeof command, install_folder, config.RunAfterInstall)) return false;
  PROCESS_INFORMATION process;
  if (!start_program(command, &process)) return false;
  CloseHandle(process.hThread);

  // Wakes on either the program's end or a message: a wait that blocked in
  // the queue alone would hang on after the program ended if no message came.
  bool quit = false;
  while (!quit && MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE,
                                            QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (!quit && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        *quit_code = int(message.wParam);
        quit = true;
      } else {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
  }
  CloseHandle(process.hProcess);
  return quit;
}

// Everything after the folder choice; payload_failure is what opening the
// payload gave, reported after the uninstaller and its data file exist.
static void install_opened_payload(const char* payload_failure) {
  if (install_folder[0] == 0) {
    show_error(LUME_CANNOT_CREATE_UNINSTALLER);  // not even its path fits
    return;
  }
  if (!write_uninstaller_and_data_file()) return;
  int desktop_rows = 0;
  if (!extract_into_folder(payload_failure, &desktop_rows)) return;
  create_shortcuts(config.StartMenuShortcuts, nullptr, config.GroupName);
  if (desktop_rows > 0) create_shortcuts(config.DesktopShortcuts, main_window, nullptr);
  register_uninstaller();
  close_data_file();
  int quit_code = 0;
  bool quit = run_after_install(&quit_code);
  MessageBoxA(main_window, "Installation Complete.", setup_caption, MB_OK);
  if (quit) PostQuitMessage(quit_code);
}

void install_into_folder(const char* program_name) {
  install_opened_payload(open_payload(program_name));
}

void install_sequence(HWND owner, const char* program_name) {
  // The payload's directory is read before the folder dialog, which then
  // leaves room for its longest name. A payload that cannot be opened is
  // reported where the sequence reports it, after the folder is chosen.
  const char* payload_failure = open_payload(program_name);
  unsigned longest_name =
      payload_failure != nullptr
          ? 0
          : longest_name_length(directory_buffer, payload_header.directory_size,
                                payload_header.file_count);
  char folder[kPathCapacity] = {};
  default_parent_folder(folder);
  // 259: the chosen folder, with the backslash set_install_folder may
  // append, still fits a path.
  if (select_install_folder(owner, folder, kPathCapacity - 1, longest_name) == 0) return;
  set_install_folder(folder);
  install_opened_payload(payload_failure);
}
