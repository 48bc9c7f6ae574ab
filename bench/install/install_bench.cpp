// The install benchmark's robot: installs a Lume installer into the folder
// given, answering every window as a user who agrees, and prints moments on
// its clock (milliseconds, GetTickCount64), each as "name value":
//   folder_ok_ms          the folder dialog's OK pressed; extraction is prepared next
//   first_name_ms         the progress dialog first showing a file's name, and
//   completion_ms         the completion box, both as the install driver saw them
//   look_ms               how long one of the driver's looks at the screen took
//                         during extraction: with its 10 ms sleep, how late it
//                         may see a window
//   fine_first_name_ms,   the same two moments seen by a watcher that looks
//   fine_completion_ms    every millisecond at those two windows alone
// then removes the product's registration again (bench/install/run removes
// the folder). Exits 1, saying why, when the installation did not complete.
//
// Usage: lume_install_bench INSTALLER TITLE FOLDER   (Windows paths)
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "robot/files.h"
#include "robot/gui_robot.h"
#include "robot/install_driver.h"
#include "uninstaller/uninstall_data.h"

using lume_robot::InstallStage;
using lume_robot::SeenWindow;

namespace {

constexpr int kTextTimeoutMs = 2000;

std::string text_of(HWND window) {
  char text[512] = {};
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, kTextTimeoutMs, &result);
  return text;
}

// The installer's dialog with this control: the progress dialog (status
// text) or a message box (its message).
HWND dialog_with(const std::string& caption, int control_id) {
  for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", caption.c_str());
       window != nullptr; window = FindWindowExA(nullptr, window, "#32770", caption.c_str())) {
    if (IsWindowVisible(window) && GetDlgItem(window, control_id) != nullptr) return window;
  }
  return nullptr;
}

// Looks every millisecond for the first file name in the progress dialog,
// then for the completion box, and notes when each appeared.
struct FineWatch {
  std::string caption;  // the title and " Setup"
  std::atomic<bool> stop{false};
  std::atomic<ULONGLONG> first_name_ms{0};
  std::atomic<ULONGLONG> completion_ms{0};

  void run() {
    while (!stop && first_name_ms == 0) {
      HWND dialog = dialog_with(caption, lume_robot::kStatusTextId);
      std::string name =
          dialog != nullptr ? text_of(GetDlgItem(dialog, lume_robot::kStatusTextId)) : "";
      if (!name.empty() && name != "...") first_name_ms = GetTickCount64();
      Sleep(1);
    }
    while (!stop && completion_ms == 0) {
      HWND box = dialog_with(caption, lume_robot::kMessageBoxTextId);
      if (box != nullptr &&
          text_of(GetDlgItem(box, lume_robot::kMessageBoxTextId)) == "Installation Complete.")
        completion_ms = GetTickCount64();
      Sleep(1);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: lume_install_bench INSTALLER TITLE FOLDER\n");
    return 2;
  }
  const std::string installer = argv[1], title = argv[2], folder = argv[3];
  const std::string key = LUME_UNINSTALL_KEY_PREFIX + title;
  lume_robot::remove_tree(folder);

  lume_robot::GuiRobot robot;
  ULONGLONG folder_ok_ms = 0, look_ms = 0;
  std::string error;
  lume_robot::InstallChoices choices;
  choices.typed_folder = folder;
  choices.timeout_ms = 600000;
  FineWatch watch;
  watch.caption = title + " Setup";
  choices.at_stage = [&](InstallStage stage, const SeenWindow& window) {
    if (stage == InstallStage::folder_dialog) folder_ok_ms = GetTickCount64();
    if (stage == InstallStage::error) error = window.message();
    if (stage == InstallStage::completion) {
      // The box stays until the watcher has seen it too.
      for (int waited = 0; watch.completion_ms == 0 && waited < kTextTimeoutMs; ++waited) Sleep(1);
    }
    if (stage == InstallStage::progress) {
      ULONGLONG start = GetTickCount64();
      robot.find_all({"", "#32770", 0});
      look_ms = GetTickCount64() - start;
    }
  };
  std::thread watcher([&watch] { watch.run(); });
  lume_robot::InstallRun run = lume_robot::run_installer(robot, lume_robot::quoted(installer), choices);
  watch.stop = true;
  watcher.join();
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());

  bool complete = run.exit_code == std::optional<DWORD>(0) && run.first_name_ms != 0 &&
                  run.completion_ms != 0 && watch.first_name_ms != 0 &&
                  watch.completion_ms != 0 && error.empty();
  if (!complete) {
    std::fprintf(stderr, "install bench: the installation did not complete%s%s\nrobot log:\n%s",
                 error.empty() ? "" : ": ", error.c_str(), robot.log().c_str());
    return 1;
  }
  std::printf("folder_ok_ms %llu\nfirst_name_ms %llu\ncompletion_ms %llu\nlook_ms %llu\n",
              folder_ok_ms, run.first_name_ms, run.completion_ms, look_ms);
  std::printf("fine_first_name_ms %llu\nfine_completion_ms %llu\n", watch.first_name_ms.load(),
              watch.completion_ms.load());
  return 0;
}
