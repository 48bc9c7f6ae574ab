#include "robot/install_driver.h"

namespace lume_robot {

namespace {

bool has_control(const SeenWindow& window, int id) {
  for (const ControlInfo& control : window.controls)
    if (control.id == id) return true;
  return false;
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct Driver {
  GuiRobot& robot;
  const InstallChoices& choices;
  InstallRun run;
  DWORD setup_id = 0;
  bool cancel_pressed = false;

  void at(InstallStage stage, const SeenWindow& window) {
    if (choices.at_stage) choices.at_stage(stage, window);
  }

  // A box of the installer gets the chosen answer; any other process's
  // box (a post-install program's) its first button.
  void answer_box(const SeenWindow& box) {
    robot.note("saw " + box.describe());
    run.boxes.push_back(box);
    const std::string text = box.message();
    int answer = box.button_ids().empty() ? IDOK : box.button_ids().front();
    if (box.process_id == setup_id) {
      if (ends_with(text, " will be installed. Do you wish to continue?")) {
        at(InstallStage::start_question, box);
        answer = choices.start_answer;
      } else if (text == "Do you wish to create desktop shortcut icons?") {
        run.desktop_question_asked = true;
        at(InstallStage::desktop_question, box);
        answer = choices.desktop_answer;
      } else if (text == "Cancel Installation?") {
        run.cancel_question_shown = true;
        at(InstallStage::cancel_question, box);
        answer = choices.cancel_answer;
      } else if (text == "Installation Complete.") {
        run.completion_ms = GetTickCount64();
        at(InstallStage::completion, box);
      } else if (text.rfind("Error: ", 0) == 0) {
        at(InstallStage::error, box);
      }
    } else {
      at(InstallStage::other_box, box);
    }
    robot.press(box, answer);
    robot.wait_gone(box.handle, 10000);
  }

  void handle_folder_dialog(const SeenWindow& dialog) {
    run.folder_dialog_shown = true;
    run.proposed_folder = robot.control_text(dialog.handle, kFolderEditId);
    at(InstallStage::folder_dialog, dialog);
    if (choices.cancel_folder) {
      robot.press(dialog, kFolderCancelId);
    } else {
      if (choices.typed_folder) robot.set_control_text(dialog.handle, kFolderEditId, *choices.typed_folder);
      robot.press(dialog, kFolderOkId);
    }
    robot.wait_gone(dialog.handle, 10000);
  }

  void watch_progress(const SeenWindow& dialog) {
    run.progress_shown = true;
    std::string name = robot.control_text(dialog.handle, kStatusTextId);
    if (name.empty() || name == "...") return;
    if (run.status_names.empty() || run.status_names.back() != name) {
      if (run.status_names.empty()) {
        run.first_name_ms = GetTickCount64();
        at(InstallStage::progress, dialog);
      }
      run.status_names.push_back(name);
    }
    if (choices.cancel_answer != 0 && !cancel_pressed) {
      cancel_pressed = true;
      robot.press(dialog, kStatusCancelId);
    }
  }

  void look() {
    if (!run.background_shown && robot.find({"", kBackgroundClass, setup_id})) {
      run.background_shown = true;
      robot.note("saw the background window");
    }
    for (const SeenWindow& window : robot.find_all({"", "#32770", 0})) {
      if (window.is_message_box()) {
        answer_box(window);
      } else if (window.process_id != setup_id) {
        continue;
      } else if (has_control(window, kFolderEditId)) {
        handle_folder_dialog(window);
      } else if (has_control(window, kStatusCancelId)) {
        watch_progress(window);
      }
    }
  }
};

}  // namespace

std::vector<std::string> InstallRun::messages() const {
  std::vector<std::string> texts;
  for (const SeenWindow& box : boxes) texts.push_back(box.message());
  return texts;
}

InstallRun run_installer(GuiRobot& robot, const std::string& command_line,
                         const InstallChoices& choices) {
  Driver driver{robot, choices, {}};
  ChildProcess setup = ChildProcess::start(command_line);
  if (!setup.started()) {
    robot.note("could not start " + command_line);
    return driver.run;
  }
  driver.setup_id = setup.id();
  ULONGLONG start = GetTickCount64();
  for (;;) {
    driver.look();
    if (std::optional<DWORD> code = setup.wait_exit(0)) {
      driver.look();  // a box of another process may still be up
      driver.run.exit_code = code;
      robot.note("installer ended with " + std::to_string(*code));
      break;
    }
    if (GetTickCount64() - start >= ULONGLONG(choices.timeout_ms)) {
      robot.note("installer still runs after " + std::to_string(choices.timeout_ms) + " ms");
      break;
    }
    Sleep(10);
  }
  return driver.run;
}

}  // namespace lume_robot
