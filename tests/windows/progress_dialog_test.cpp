// The progress dialog as the install sequence drives it, in the probe: the
// main thread starts it, names each file and ends it, while the robot
// plays the user who may press Cancel or Escape.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/dialog_ids.h"
#include "robot/gui_robot.h"
#include "tests/support/test_files.h"
#include "tests/windows/dialog_probe_client.h"

using lume_robot::ChildProcess;
using lume_robot::GuiRobot;
using lume_robot::SeenWindow;

namespace {

constexpr int kStatusTextId = IDC_STATUS_TEXT;
constexpr int kStatusCancelId = IDC_STATUS_CANCEL;
constexpr DWORD kStepWaitMs = 10000;

// True when a static control of the box holds an icon it shows.
bool shows_icon(const SeenWindow& box) {
  for (const lume_robot::ControlInfo& control : box.controls) {
    HWND child = GetDlgItem(box.handle, control.id);
    DWORD_PTR icon = 0;
    SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
    if (icon != 0 && IsWindowVisible(child)) return true;
  }
  return false;
}

class ProgressDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string tag = std::to_string(GetCurrentProcessId()) + "-" + test;
    go_name_ = "lume-progress-go-" + tag;
    done_name_ = "lume-progress-done-" + tag;
    go_ = CreateEventA(nullptr, FALSE, FALSE, go_name_.c_str());
    done_ = CreateEventA(nullptr, FALSE, FALSE, done_name_.c_str());
    root_ = lume_test::fresh_test_folder(test);
    title_ = "Lume progress test " + std::to_string(GetCurrentProcessId());
  }

  void TearDown() override {
    probe_ = ChildProcess();  // ends a probe that a failed test left running
    CloseHandle(go_);
    CloseHandle(done_);
    lume_test::remove_tree(root_.substr(0, root_.size() - 1));
    if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
  }

  // Starts the probe, which will name these files one per step; true once
  // its dialog shows.
  bool start(const std::vector<std::string>& names) {
    std::vector<std::string> arguments = {lume_test::windows_path(LUME_DIALOG_PROBE_EXE),
                                          "progress", title_, go_name_, done_name_,
                                          root_ + "log.txt"};
    arguments.insert(arguments.end(), names.begin(), names.end());
    std::string command;
    for (const std::string& argument : arguments) command += lume_test::quoted(argument) + " ";
    probe_ = ChildProcess::start(command);
    if (WaitForSingleObject(done_, kStepWaitMs) != WAIT_OBJECT_0) return false;
    EXPECT_EQ(last_line(), "started 'yes' pause 0 cancel 0");
    std::optional<SeenWindow> seen = robot_.wait_for({title_ + " Setup", "#32770", probe_.id()});
    dialog_ = seen ? seen->handle : nullptr;
    return dialog_ != nullptr;
  }

  // Lets the probe's main thread take its next step: the next name, or the
  // end of the dialog. What it saw right after.
  std::string step() {
    SetEvent(go_);
    if (WaitForSingleObject(done_, kStepWaitMs) != WAIT_OBJECT_0) return "no step";
    return last_line();
  }

  std::string last_line() {
    std::string log = lume_test::read_file(root_ + "log.txt");
    if (!log.empty() && log.back() == '\n') log.pop_back();
    return log.substr(log.rfind('\n') + 1);
  }

  std::optional<SeenWindow> cancel_question() {
    return robot_.wait_for({"Setup", "#32770", probe_.id()});
  }

  GuiRobot robot_;
  ChildProcess probe_;
  HWND dialog_ = nullptr;
  HANDLE go_ = nullptr;
  HANDLE done_ = nullptr;
  std::string go_name_, done_name_, root_, title_;
};

TEST_F(ProgressDialog, ShowsEachFileNameOnceTheMainThreadHasSetIt) {
  ASSERT_TRUE(start({"readme.txt", "bin\\tool.exe"}));
  SeenWindow seen = robot_.look_at(dialog_);
  EXPECT_EQ(seen.control_text(kStatusTextId), "...");
  EXPECT_EQ(seen.button_ids(), std::vector<int>{kStatusCancelId});
  EXPECT_EQ(seen.control_text(kStatusCancelId), "Cancel");
  EXPECT_EQ(GetWindowLongA(dialog_, GWL_STYLE) & WS_SYSMENU, 0) << "the dialog has a close box";

  // The probe reads the text back as soon as the call returns.
  EXPECT_EQ(step(), "shown 'readme.txt' pause 0 cancel 0");
  EXPECT_EQ(robot_.control_text(dialog_, kStatusTextId), "readme.txt");
  EXPECT_TRUE(lume_robot::save_screenshot(lume_test::screenshot_path("progress_dialog.png"), dialog_));
  EXPECT_EQ(step(), "shown 'bin\\tool.exe' pause 0 cancel 0");

  EXPECT_EQ(step(), "ended '' pause 0 cancel 0");
  EXPECT_TRUE(robot_.wait_gone(dialog_));
  EXPECT_EQ(probe_.wait_exit(), 0u);
}

TEST_F(ProgressDialog, CancelAndEscapeAskFirstAndNoGoesOn) {
  ASSERT_TRUE(start({"a.txt", "b.txt"}));
  robot_.press(robot_.look_at(dialog_), kStatusCancelId);
  std::optional<SeenWindow> question = cancel_question();
  ASSERT_TRUE(question);
  EXPECT_EQ(question->message(), "Cancel Installation?");
  EXPECT_EQ(question->button_ids(), (std::vector<int>{IDYES, IDNO}));
  EXPECT_FALSE(shows_icon(*question));
  // Extraction pauses while the question is open, yet a name set then
  // still reaches the dialog.
  EXPECT_EQ(step(), "shown 'a.txt' pause 1 cancel 0");
  robot_.press(*question, IDNO);
  EXPECT_TRUE(robot_.wait_gone(question->handle));

  robot_.press_escape(robot_.look_at(dialog_));
  question = cancel_question();
  ASSERT_TRUE(question);
  EXPECT_EQ(question->message(), "Cancel Installation?");
  robot_.press(*question, IDNO);
  EXPECT_TRUE(robot_.wait_gone(question->handle));

  EXPECT_TRUE(IsWindowVisible(dialog_));
  EXPECT_EQ(step(), "shown 'b.txt' pause 0 cancel 0");
  EXPECT_EQ(step(), "ended '' pause 0 cancel 0");
  EXPECT_EQ(probe_.wait_exit(), 0u);
}

TEST_F(ProgressDialog, YesCancelsAndClosesTheDialogAndLaterCallsDoNothing) {
  ASSERT_TRUE(start({"a.txt"}));
  robot_.press(robot_.look_at(dialog_), kStatusCancelId);
  ASSERT_TRUE(robot_.answer_message_box({"Setup", "", probe_.id()}, IDYES));
  EXPECT_TRUE(robot_.wait_gone(dialog_));

  EXPECT_EQ(step(), "shown '' pause 0 cancel 1");
  EXPECT_EQ(step(), "ended '' pause 0 cancel 1");
  EXPECT_EQ(probe_.wait_exit(), 0u);
}

TEST_F(ProgressDialog, EndingWaitsForTheAnswerToAnOpenQuestion) {
  ASSERT_TRUE(start({}));
  robot_.press(robot_.look_at(dialog_), kStatusCancelId);
  std::optional<SeenWindow> question = cancel_question();
  ASSERT_TRUE(question);

  // The last byte is written while the user still reads the question.
  SetEvent(go_);
  EXPECT_EQ(WaitForSingleObject(done_, 600), DWORD(WAIT_TIMEOUT))
      << "the dialog was ended under an open question";
  EXPECT_TRUE(IsWindowVisible(question->handle));
  robot_.press(*question, IDYES);
  ASSERT_EQ(WaitForSingleObject(done_, kStepWaitMs), DWORD(WAIT_OBJECT_0));
  EXPECT_EQ(last_line(), "ended '' pause 0 cancel 1");
  EXPECT_TRUE(robot_.wait_gone(dialog_));
  EXPECT_EQ(probe_.wait_exit(), 0u);
}

}  // namespace
