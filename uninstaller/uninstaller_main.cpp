// The uninstaller, "lumeuins.exe".
//
// Started without an argument (launcher mode) it copies itself to
// "lumeuinsx.exe" in a new folder of its own under the temporary folder and
// starts that copy with its own path, so that the copy can delete the
// installed file. Started with an
// argument (removal mode) it reads "lumeuins.dat" beside the path given, asks
// once, and undoes the records in file order. No window of its own, no
// resources: three message boxes are all the user sees.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>
#include <ntsecapi.h>
#include <sddl.h>
#include <shlobj.h>

#include "common/bounded_text.h"
#include "common/child_process.h"
#include "common/program_start.h"
#include "uninstaller/removal_rules.h"
#include "uninstaller/uninstall_data.h"

enum {
  kPruneLevels = 16,       // folders climbed above one deleted file
  kDeleteAttempts = 10,    // for the installed copy, which may still be running
  kDeletePauseMs = 1000,
  kCaptionSize = sizeof("Uninstall ") + kDataLineLimit,
  kQuestionSize = kDataLineLimit + sizeof(" will be uninstalled. Do you wish to continue?"),
};

// Deletes the file, then removes every folder above it that is empty now,
// climbing at most kPruneLevels levels, never removing a root nor the first
// kept_length bytes of path (a shell folder that holds shortcuts). path is
// cut back as the climb goes.
static void delete_and_prune(char* path, unsigned kept_length) {
  DeleteFileA(path);
  for (int level = 0; level < kPruneLevels && climb_to_parent(path); ++level) {
    if (text_length(path) <= kept_length) break;
    RemoveDirectoryA(path);
  }
}

// True when a folder between the installation folder and the file is a
// link (junction or symbolic link): deleting through it would reach a file
// outside the installation folder. path is restored before returning.
static bool passes_through_link(char* path, unsigned folder_length) {
  for (char* p = path + folder_length; *p != 0; ++p) {
    if (*p != '\\') continue;
    *p = 0;
    DWORD attributes = GetFileAttributesA(path);
    *p = '\\';
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return true;
  }
  return false;
}

// What bounds the records of one data file.
struct RemovalBounds {
  const char* installation_folder;
  const char* title;
  ShortcutFolders shortcut_folders;
};

static void undo_record(char* line, const RemovalBounds* bounds) {
  char* text = line + 1;
  switch (line[0]) {
    case record_file:
      if (is_inside_folder(text, bounds->installation_folder) &&
          !passes_through_link(text, text_length(bounds->installation_folder)))
        delete_and_prune(text, 0);
      break;
    case record_group_shortcut:
    case record_desktop_shortcut: {
      unsigned folder_length = shortcut_folder_length(line[0], text, &bounds->shortcut_folders);
      if (folder_length != 0) delete_and_prune(text, folder_length);
      break;
    }
    case record_registry_key:
      if (is_own_uninstall_key(text, bounds->title)) RegDeleteKeyA(HKEY_LOCAL_MACHINE, text);
      break;
    default:  // unknown kinds and empty lines
      break;
  }
}

// A shell folder's path into folder, or an empty text when the system
// cannot tell it: then no shortcut record counts as lying in it.
static const char* shell_folder(char* folder, int csidl) {
  if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) folder[0] = 0;
  return folder;
}

static int cannot_open_data_file() {
  MessageBoxA(nullptr, "Error: Cannot open uninstall data file.", "Uninstall", MB_OK);
  return 2;
}

// Removal mode. The installed path is made absolute first: the installation
// folder that bounds the file records is its folder, and the records hold
// absolute paths.
//
// The buffers live on the stack rather than in static storage: without a
// .bss section the executable's headers fit one 512-byte file block.
static int remove_installation(const char* installed_argument) {
  char installed_path[kPathCapacity], installation_folder[kPathCapacity];
  char data_path[kPathCapacity];
  char title[kDataLineLimit + 1], record[kDataLineLimit + 1];
  char caption[kCaptionSize], question[kQuestionSize];
  char programs[kPathCapacity], common_programs[kPathCapacity];
  char desktop[kPathCapacity], common_desktop[kPathCapacity];
  DWORD length = GetFullPathNameA(installed_argument, kPathCapacity, installed_path, nullptr);
  if (length == 0 || length >= kPathCapacity) return cannot_open_data_file();
  folder_of(installation_folder, kPathCapacity, installed_path);
  if (!join_text(data_path, kPathCapacity, installation_folder, LUME_UNINSTALL_DATA_NAME))
    return cannot_open_data_file();
  FILE* data = fopen(data_path, "rb");
  if (data == nullptr) return cannot_open_data_file();

  bool at_end = read_line(title, kDataLineLimit, data);
  join_text(caption, sizeof caption, "Uninstall ", title);
  join_text(question, sizeof question, title, " will be uninstalled. Do you wish to continue?");
  if (MessageBoxA(nullptr, question, caption, MB_YESNO) != IDYES) return 1;

  RemovalBounds bounds = {installation_folder, title,
                          {shell_folder(programs, CSIDL_PROGRAMS),
                           shell_folder(common_programs, CSIDL_COMMON_PROGRAMS),
                           shell_folder(desktop, CSIDL_DESKTOPDIRECTORY),
                           shell_folder(common_desktop, CSIDL_COMMON_DESKTOPDIRECTORY)}};
  while (!at_end) {
    at_end = read_line(record, kDataLineLimit, data);
    undo_record(record, &bounds);
  }
  for (int attempt = 0; attempt < kDeleteAttempts && !DeleteFileA(installed_path); ++attempt) {
    Sleep(kDeletePauseMs);
  }
  fclose(data);
  delete_and_prune(data_path, 0);
  MessageBoxA(nullptr, "Uninstall Complete.", caption, MB_OK);
  return 0;
}

// The access the copy's folder grants: full control to the system and to
// administrators, nothing inherited. The launcher runs elevated, so the
// folder and the copy are the administrators' own; the user's other
// programs, which run without that right, can neither put a file beside
// the copy nor swap it between the copy and its start.
static const char kCopyFolderAccess[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// A folder of the copy's own under the temporary folder, in folder, and
// the copy's path in copy_path: a name no one can guess ahead of it, made
// by a call that fails when anything of that name is already there. So
// nothing another program put into the temporary folder can stand in for
// the copy or beside it.
static bool make_copy_folder(char* folder, char* copy_path, const char* temp) {
  unsigned char random[kCopyFolderRandomBytes];
  char name[kCopyFolderNameSize];
  if (!RtlGenRandom(random, sizeof random)) return false;
  copy_folder_name(name, random);
  if (!temporary_copy_paths(folder, copy_path, temp, name)) return false;
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
          kCopyFolderAccess, SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr))
    return false;
  bool made = CreateDirectoryA(folder, &security) != FALSE;
  LocalFree(security.lpSecurityDescriptor);
  return made;
}

// Launcher mode. Whatever keeps the copy from running (no usable temporary
// folder, no folder or copy, no process) leads to removal in place instead:
// slower, since the running file cannot delete itself, but nothing is left
// undone.
static int launch_copy(const char* own_path) {
  char folder[kPathCapacity], copy_path[kPathCapacity], copy_command[kCopyCommandSize];
  const char* temp = getenv("TEMP");
  if (temp == nullptr) temp = getenv("TMP");
  if (temp == nullptr || !make_copy_folder(folder, copy_path, temp))
    return remove_installation(own_path);
  PROCESS_INFORMATION process;
  if (!CopyFileA(own_path, copy_path, TRUE) ||
      !copy_command_line(copy_command, sizeof copy_command, copy_path, own_path) ||
      !start_program(copy_command, &process)) {
    DeleteFileA(copy_path);
    RemoveDirectoryA(folder);
    return remove_installation(own_path);
  }
  // The copy cannot delete its own file while it runs: the system removes
  // the copy, then its folder, when Windows next starts.
  MoveFileExA(copy_path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 0;
}

// The program's own file comes from the loader rather than from argument 0,
// which a command prompt passes relative and without ".exe".
int program_main(int argc, char** argv) {
  char own_path[kPathCapacity];
  DWORD length = GetModuleFileNameA(nullptr, own_path, kPathCapacity);
  if (length == 0 || length >= kPathCapacity) copy_text(own_path, sizeof own_path, argv[0]);
  return argc > 1 ? remove_installation(argv[1]) : launch_copy(own_path);
}
