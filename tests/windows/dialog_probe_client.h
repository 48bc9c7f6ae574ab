// Running the dialog probe (dialog_probe.cpp) from a test: its folder
// dialog with a start folder of the test's choosing, found on the screen
// for the robot to drive.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "installer/dialog_ids.h"
#include "robot/gui_robot.h"
#include "tests/support/test_files.h"

namespace lume_test {

using lume_robot::ChildProcess;
using lume_robot::GuiRobot;
using lume_robot::SeenWindow;

enum : int {
  kDirEditId = IDC_DIR_EDIT,
  kDirOkId = IDC_DIR_OK,
  kDirCancelId = IDC_DIR_CANCEL,
  kDirTreeId = IDC_DIR_TREE,
};

inline const char* const kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";

// Where the tests leave their screenshots: screenshots/ in the build tree.
inline std::string screenshot_path(const std::string& name) {
  std::string folder = windows_path(LUME_SCREENSHOT_DIR);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\" + name;
}

// A test of the directory selection dialog, run by the probe in a process
// of its own. The start folder comes from a registry value of the test's
// own, as the install sequence takes it from "ProgramFilesDir".
class FolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = fresh_test_folder(test);
    title_ = "Lume folder test " + std::to_string(GetCurrentProcessId());
    value_name_ = "LumeTestStartFolder" + std::to_string(GetCurrentProcessId());
  }

  void TearDown() override {
    probe_ = ChildProcess();  // ends a probe that a failed test left running
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, value_name_.c_str());
    remove_tree(root_.substr(0, root_.size() - 1));
    if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
  }

  void set_start_folder(const std::string& folder) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, value_name_.c_str(), REG_SZ,
                              folder.c_str(), DWORD(folder.size() + 1)),
              ERROR_SUCCESS);
  }

  // Starts the dialog with the start folder read from value_name (by
  // default the test's own value) and waits until it shows.
  bool open_dialog(const std::string& folder_name = "Tool", std::string value_name = "") {
    if (value_name.empty()) value_name = value_name_;
    probe_ = ChildProcess::start(lume_test::quoted(windows_path(LUME_DIALOG_PROBE_EXE)) + " folder " +
                                 lume_test::quoted(title_) + " " + lume_test::quoted(folder_name) + " " +
                                 lume_test::quoted(value_name) + " " + lume_test::quoted(root_ + "result.txt"));
    std::optional<SeenWindow> seen = robot_.wait_for({title_ + " Setup", "#32770", probe_.id()});
    dialog_ = seen ? seen->handle : nullptr;
    return dialog_ != nullptr;
  }

  SeenWindow dialog() { return robot_.look_at(dialog_); }
  HWND tree_window() { return GetDlgItem(dialog_, kDirTreeId); }
  std::string edit_text() { return robot_.control_text(dialog_, kDirEditId); }

  // The dialog's result (the probe's exit code) once it has ended, or -1.
  int result() {
    std::optional<DWORD> code = probe_.wait_exit();
    return code ? int(*code) : -1;
  }
  // The folder text as the dialog left it.
  std::string handed_back() { return read_file(root_ + "result.txt"); }

  GuiRobot robot_;
  ChildProcess probe_;
  HWND dialog_ = nullptr;
  std::string root_;  // a fresh folder, ending in '\\'
  std::string title_;
  std::string value_name_;
};

}  // namespace lume_test
