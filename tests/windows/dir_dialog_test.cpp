// The directory selection dialog as the install sequence opens it: the
// proposal, the OK button's state, and what comes back for each way out.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/dialog_ids.h"
#include "robot/gui_robot.h"
#include "tests/support/test_files.h"
#include "robot/registry.h"
#include "tests/windows/dialog_probe_client.h"

using lume_robot::RemoteTree;
using lume_robot::TreeItem;

namespace {

constexpr int kPromptId = IDC_DIR_PROMPT;

class DirDialog : public lume_test::FolderDialogTest {
 protected:
  bool ok_enabled() { return robot_.control_enabled(dialog_, lume_test::kDirOkId); }
  void press(int id) { robot_.press(dialog(), id); }
};

TEST_F(DirDialog, ProposesTheProgramFilesFolderAndOpensTheTreeThere) {
  std::string program_files =
      lume_robot::registry_text(lume_test::kCurrentVersionKey, "ProgramFilesDir");
  ASSERT_FALSE(program_files.empty());
  ASSERT_TRUE(open_dialog("Tool", "ProgramFilesDir"));
  lume_robot::SeenWindow seen = dialog();
  EXPECT_EQ(seen.control_text(kPromptId), "Specify where you want to install the program.");
  EXPECT_EQ(seen.button_ids(), (std::vector<int>{lume_test::kDirOkId, lume_test::kDirCancelId}));
  EXPECT_EQ(GetWindowLongA(dialog_, GWL_STYLE) & WS_SYSMENU, 0) << "the dialog has a close box";
  EXPECT_EQ(edit_text(), program_files + "\\Tool");
  EXPECT_TRUE(ok_enabled());

  RemoteTree tree(tree_window());
  std::optional<TreeItem> selected = tree.selection();
  ASSERT_TRUE(selected);
  EXPECT_EQ(tree.path_of(selected->handle), (std::vector<std::string>{"C:", "Program Files"}));
  EXPECT_TRUE(selected->expanded());
  EXPECT_TRUE(lume_robot::save_screenshot(lume_test::screenshot_path("dir_dialog.png"), dialog_));

  // OK on the proposal as it stands.
  press(lume_test::kDirOkId);
  EXPECT_EQ(result(), 1);
  EXPECT_EQ(handed_back(), program_files + "\\Tool");
}

TEST_F(DirDialog, WithoutTheValueProposesTheCurrentFolderAndEscapeGivesNothing) {
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  ASSERT_TRUE(open_dialog("Tool", "LumeNoSuchValue"));
  EXPECT_EQ(edit_text(), std::string(current) + "\\Tool");
  robot_.press_escape(dialog());
  EXPECT_EQ(result(), 0);
  EXPECT_EQ(handed_back(), current);
}

TEST_F(DirDialog, AnEmptyTextDisablesOkAndCancelGivesNothing) {
  set_start_folder("C:\\Program Files");
  ASSERT_TRUE(open_dialog());
  robot_.set_control_text(dialog_, lume_test::kDirEditId, "");
  EXPECT_FALSE(ok_enabled());
  // OK is greyed; a click that reaches it anyway does not end the dialog.
  press(lume_test::kDirOkId);
  EXPECT_FALSE(probe_.wait_exit(500));
  robot_.set_control_text(dialog_, lume_test::kDirEditId, "D");
  EXPECT_TRUE(ok_enabled());
  press(lume_test::kDirCancelId);
  EXPECT_EQ(result(), 0);
  EXPECT_EQ(handed_back(), "C:\\Program Files");
}

TEST_F(DirDialog, OkOnTheStartFolderItselfGivesNothingButAnotherCaseCounts) {
  set_start_folder("C:\\Program Files");
  ASSERT_TRUE(open_dialog());
  robot_.set_control_text(dialog_, lume_test::kDirEditId, "C:\\Program Files");
  press(lume_test::kDirOkId);
  EXPECT_EQ(result(), 0);

  ASSERT_TRUE(open_dialog());
  robot_.set_control_text(dialog_, lume_test::kDirEditId, "C:\\program files");
  press(lume_test::kDirOkId);
  EXPECT_EQ(result(), 1);
  EXPECT_EQ(handed_back(), "C:\\program files");
}

TEST_F(DirDialog, RefusesAFolderTooLongToHandBackWhole) {
  set_start_folder("C:\\Program Files");
  ASSERT_TRUE(open_dialog());
  // The install sequence takes at most 258 characters (259 with the
  // terminator); anything longer would come back cut to another folder.
  for (size_t length : {300u, 259u}) {
    robot_.set_control_text(dialog_, lume_test::kDirEditId, "C:\\" + std::string(length - 3, 'x'));
    EXPECT_FALSE(ok_enabled()) << length;
    press(lume_test::kDirOkId);
    EXPECT_FALSE(probe_.wait_exit(500)) << length;
  }
  std::string longest = "C:\\" + std::string(255, 'y');
  robot_.set_control_text(dialog_, lume_test::kDirEditId, longest);
  EXPECT_TRUE(ok_enabled());
  press(lume_test::kDirOkId);
  EXPECT_EQ(result(), 1);
  EXPECT_EQ(handed_back(), longest);
}

TEST_F(DirDialog, ShowsAProposalTooLongToAcceptWholeWithOkDisabled) {
  std::string name(287, 'n');
  set_start_folder("C:\\Program Files");
  ASSERT_TRUE(open_dialog(name));
  EXPECT_EQ(edit_text(), "C:\\Program Files\\" + name);
  EXPECT_FALSE(ok_enabled());
  press(lume_test::kDirCancelId);
  EXPECT_EQ(result(), 0);
}

}  // namespace
