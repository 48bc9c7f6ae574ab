// The demo's robot: installs a Lume installer as a user who agrees to
// everything, then removes the product again through its registration,
// and leaves a screenshot of every window on the way.
//
// Usage: lume_demo_robot INSTALLER TITLE SHOTS_FOLDER
//   (Windows paths; under Wine the Unix root is Z:)
// Prints one line per screenshot; exits 1, saying what went wrong, when
// any step does not happen as a user would see it.
#include <windows.h>
// tlhelp32.h needs windows.h first.
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "robot/files.h"
#include "robot/gui_robot.h"
#include "robot/install_driver.h"
#include "robot/registry.h"
#include "uninstaller/uninstall_data.h"

using lume_robot::GuiRobot;
using lume_robot::InstallStage;
using lume_robot::SeenWindow;

namespace {

// A window found visible may not have painted all of itself yet.
constexpr DWORD kSettleMs = 400;
constexpr char kProgressShot[] = "4-progress.png";
constexpr int kUninstallTimeoutMs = 60000;
constexpr DWORD kIdleProbeMs = 60;  // three quiet probes outlast the installer's 100 ms polls
constexpr int kHoldAttempts = 5;
constexpr int kNameWaitMs = 1000;

struct Demo {
  std::string installer;
  std::string title;
  std::string shots;   // ends in '\\'
  std::string folder;  // the installation folder, as the folder dialog proposed it
  GuiRobot robot;
  std::vector<std::string> problems;

  void fail(const std::string& what) { problems.push_back(what); }

  void shoot(const std::string& name) {
    Sleep(kSettleMs);
    std::string path = shots + name;
    if (!lume_robot::save_screenshot(path)) return fail("no screenshot " + path);
    std::printf("screenshot %s\n", name.c_str());
  }

  void on_stage(InstallStage stage, const SeenWindow& window);
  void install();
  void uninstall();
};

// The installer's threads, other than the progress dialog's.
std::vector<DWORD> threads_besides(DWORD process_id, DWORD dialog_thread) {
  std::vector<DWORD> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == process_id && entry.th32ThreadID != dialog_thread)
      found.push_back(entry.th32ThreadID);
  }
  CloseHandle(snapshot);
  return found;
}

void set_running(const std::vector<DWORD>& threads, bool running) {
  for (DWORD id : threads) {
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, id);
    if (thread == nullptr) continue;
    if (running) {
      ResumeThread(thread);
    } else {
      SuspendThread(thread);
    }
    CloseHandle(thread);
  }
}

// CPU time the threads have used so far, in 100 ns units.
ULONGLONG cpu_time(const std::vector<DWORD>& threads) {
  ULONGLONG total = 0;
  for (DWORD id : threads) {
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (thread == nullptr) continue;
    FILETIME created, ended, kernel, user;
    if (GetThreadTimes(thread, &created, &ended, &kernel, &user)) {
      total += (ULONGLONG(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
               (ULONGLONG(user.dwHighDateTime) << 32 | user.dwLowDateTime);
    }
    CloseHandle(thread);
  }
  return total;
}

// Waits until the threads use no more CPU time: blocked, here in sending
// the progress dialog a file's name.
void wait_until_idle(const std::vector<DWORD>& threads) {
  ULONGLONG last = cpu_time(threads);
  for (int quiet = 0, round = 0; quiet < 3 && round < 100; ++round) {
    Sleep(kIdleProbeMs);
    ULONGLONG now = cpu_time(threads);
    quiet = now == last ? quiet + 1 : 0;
    last = now;
  }
}

std::string status_text(HWND dialog) {
  char text[512] = {};
  DWORD_PTR result = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, lume_robot::kStatusTextId), WM_GETTEXT, sizeof text,
                      reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &result);
  return text;
}

bool showing_name(HWND dialog) {
  std::string text = status_text(dialog);
  return IsWindowVisible(dialog) && !text.empty() && text != "...";
}

// The progress dialog, from the moment it exists: the one dialog with the
// status text and the Cancel button.
HWND find_progress_dialog() {
  for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", nullptr); window != nullptr;
       window = FindWindowExA(nullptr, window, "#32770", nullptr)) {
    if (GetDlgItem(window, lume_robot::kStatusCancelId) != nullptr &&
        GetDlgItem(window, lume_robot::kStatusTextId) != nullptr)
      return window;
  }
  return nullptr;
}

// Stops the dialog's thread right after it answered a message: it then
// waits in its message loop and holds nothing that the main thread needs.
void stop_dialog_thread(HWND dialog, const std::vector<DWORD>& dialog_thread) {
  status_text(dialog);
  set_running(dialog_thread, false);
}

// For a small product the file names flash by within milliseconds, too
// fast for a robot that looks now and then. So the installer is held: the
// dialog's thread stops as soon as the dialog is up; the main thread runs
// until it blocks in handing that thread the first name, then stops in
// turn; the dialog's thread, running again, shows the name, and the picture
// is taken before the main thread may go on (or end the dialog). Returns
// what went wrong, or "".
std::string take_progress_shot(const std::atomic<bool>& stop, const std::string& shots) {
  HWND dialog = nullptr;
  while (!stop && (dialog = find_progress_dialog()) == nullptr) Sleep(1);
  if (dialog == nullptr) return "the robot never saw the progress dialog";
  DWORD process_id = 0;
  const std::vector<DWORD> dialog_thread = {GetWindowThreadProcessId(dialog, &process_id)};
  const std::vector<DWORD> others = threads_besides(process_id, dialog_thread[0]);
  std::string seen;
  // Again when the main thread was only between two looks for the dialog.
  for (int attempt = 0; attempt < kHoldAttempts; ++attempt) {
    stop_dialog_thread(dialog, dialog_thread);
    wait_until_idle(others);
    set_running(others, false);
    set_running(dialog_thread, true);
    for (int waited = 0; waited < kNameWaitMs && !showing_name(dialog); waited += 10) Sleep(10);
    bool taken = false;
    if (showing_name(dialog)) {
      Sleep(kSettleMs);
      taken = showing_name(dialog) && lume_robot::save_screenshot(shots + kProgressShot);
    }
    seen = status_text(dialog);
    set_running(others, true);
    if (taken) {
      std::printf("screenshot %s\n", kProgressShot);
      return "";
    }
  }
  return "each time the installer was held, the progress dialog showed: " + seen;
}

void Demo::on_stage(InstallStage stage, const SeenWindow& window) {
  switch (stage) {
    case InstallStage::start_question: return shoot("1-start-question.png");
    case InstallStage::folder_dialog:
      // A clean start, whatever an earlier run left in the proposed folder.
      folder = window.control_text(lume_robot::kFolderEditId);
      lume_robot::remove_tree(folder);
      return shoot("2-folder-dialog.png");
    case InstallStage::desktop_question: return shoot("3-desktop-question.png");
    case InstallStage::progress: return;  // taken by take_progress_shot
    case InstallStage::completion: return shoot("5-completion.png");
    case InstallStage::cancel_question: return fail("the cancel question came up: " + window.describe());
    case InstallStage::error:
      shoot("error.png");
      return fail("the installer reported: " + window.message());
  }
}

void Demo::install() {
  if (!lume_robot::file_exists(installer)) return fail("no installer at " + installer);
  std::atomic<bool> stop{false};
  std::string progress_problem;
  std::thread holder([&] { progress_problem = take_progress_shot(stop, shots); });
  lume_robot::InstallChoices choices;
  choices.at_stage = [this](InstallStage stage, const SeenWindow& window) { on_stage(stage, window); };
  lume_robot::InstallRun run =
      lume_robot::run_installer(robot, lume_robot::quoted(installer), choices);
  if (run.exit_code != std::optional<DWORD>(0))
    fail(run.exit_code ? "the installer ended with " + std::to_string(*run.exit_code)
                       : "the installer did not end");
  if (!run.folder_dialog_shown) fail("no folder dialog");
  if (!run.desktop_question_asked) fail("no desktop question");
  stop = true;
  holder.join();
  if (!progress_problem.empty())
    fail("no picture of the progress dialog showing a file's name: " + progress_problem);
  if (run.completion_ms == 0) fail("no completion box");
}

void Demo::uninstall() {
  std::string key = LUME_UNINSTALL_KEY_PREFIX + title;
  std::string command = lume_robot::registry_text(key, "UninstallString");
  if (command.empty()) return fail("no UninstallString under HKLM\\" + key);
  lume_robot::ChildProcess launcher = lume_robot::ChildProcess::start(command);
  if (!launcher.started()) return fail("could not start " + command);
  if (launcher.wait_exit() != std::optional<DWORD>(0))
    return fail("the uninstaller's first process did not end with 0");

  // The copy in the temporary folder asks, then reports.
  const lume_robot::WindowQuery boxes{"Uninstall " + title, "#32770", 0};
  std::optional<SeenWindow> question = robot.wait_for(boxes);
  if (!question) return fail("no uninstall question");
  shoot("6-uninstall-question.png");
  robot.press(*question, IDYES);
  robot.wait_gone(question->handle);
  std::optional<SeenWindow> complete = robot.wait_for(boxes, kUninstallTimeoutMs);
  if (!complete) return fail("no uninstall completion box");
  shoot("7-uninstall-complete.png");
  robot.press(*complete, IDOK);
  robot.wait_gone(complete->handle);
  if (complete->message() != "Uninstall Complete.")
    fail("the uninstaller reported: " + complete->message());
  if (lume_robot::key_exists(key)) fail("the registration is still there");
  if (lume_robot::folder_exists(folder)) fail("the installation folder stays behind: " + folder);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: lume_demo_robot INSTALLER TITLE SHOTS_FOLDER\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // each line as it happens, also into a pipe
  Demo demo;
  demo.installer = argv[1];
  demo.title = argv[2];
  demo.shots = std::string(argv[3]) + "\\";
  lume_robot::make_folders(argv[3]);

  demo.install();
  if (demo.problems.empty()) demo.uninstall();
  if (demo.problems.empty()) return 0;
  for (const std::string& problem : demo.problems) std::fprintf(stderr, "demo: %s\n", problem.c_str());
  std::fprintf(stderr, "robot log:\n%s", demo.robot.log().c_str());
  return 1;
}
