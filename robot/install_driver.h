// Runs a Lume installer as a user would, through every window it shows,
// with the answers its caller chooses: the start question, the folder dialog,
// the desktop question, the progress dialog and its cancel question, error
// and completion boxes. Windows of other processes (a post-install program)
// are answered with their first button. What was seen comes back in order.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "installer/background_window.h"
#include "installer/dialog_ids.h"
#include "robot/gui_robot.h"

namespace lume_robot {

// The controls the driver works, as the installer's resources number them.
enum : int {
  kFolderEditId = IDC_DIR_EDIT,
  kFolderOkId = IDC_DIR_OK,
  kFolderCancelId = IDC_DIR_CANCEL,
  kFolderTreeId = IDC_DIR_TREE,
  kStatusTextId = IDC_STATUS_TEXT,
  kStatusCancelId = IDC_STATUS_CANCEL,
};

inline constexpr char kBackgroundClass[] = LUME_WINDOW_CLASS;

// The moments a caller may want a picture of (or act at).
enum class InstallStage {
  start_question,
  folder_dialog,
  desktop_question,
  progress,  // the progress dialog showing a file's name
  cancel_question,
  completion,
  error,
  other_box,  // a box of another process, such as the post-install program
};

struct InstallChoices {
  int start_answer = IDYES;
  // The folder dialog: accept the proposal, type this folder first, or cancel.
  std::optional<std::string> typed_folder;
  bool cancel_folder = false;
  int desktop_answer = IDYES;
  // Press Cancel in the progress dialog once it shows a file's name, and
  // answer the question so (IDYES or IDNO); 0: never.
  int cancel_answer = 0;
  // Called at each stage with the window concerned, before it is answered.
  std::function<void(InstallStage, const SeenWindow&)> at_stage;
  int timeout_ms = 60000;
};

struct InstallRun {
  std::optional<DWORD> exit_code;  // nothing: still running at the time-out
  std::string proposed_folder;     // as the folder dialog's edit box first showed it
  bool background_shown = false;  // the installer's window behind its dialogs
  bool folder_dialog_shown = false;
  bool desktop_question_asked = false;
  bool progress_shown = false;
  bool cancel_question_shown = false;
  std::vector<std::string> status_names;  // names the progress dialog showed, in order
  std::vector<SeenWindow> boxes;          // every message box, in order, any process
  // Times on the robot's clock (GetTickCount64): the first file name in the
  // progress dialog and the completion box; 0 when not seen.
  ULONGLONG first_name_ms = 0;
  ULONGLONG completion_ms = 0;

  // The message boxes' texts, in order.
  std::vector<std::string> messages() const;
};

// Starts command_line (the installer, quoted as needed) and drives it to
// its end.
InstallRun run_installer(GuiRobot& robot, const std::string& command_line,
                         const InstallChoices& choices = {});

}  // namespace lume_robot
