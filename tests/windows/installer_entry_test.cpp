// The stub as shipped, configured and run as a process: its start question,
// and an installation into the proposed folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/dialog_ids.h"
#include "robot/gui_robot.h"
#include "tests/support/test_files.h"
#include "tests/support/test_installer.h"
#include "uninstaller/uninstall_data.h"

using lume_robot::ChildProcess;
using lume_robot::GuiRobot;
using lume_test::PayloadFile;
using lume_robot::SeenWindow;

namespace {

constexpr int kFolderEditId = IDC_DIR_EDIT, kFolderOkId = IDC_DIR_OK;

std::string program_files() {
  char folder[MAX_PATH] = {};
  DWORD size = sizeof folder;
  RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
               "ProgramFilesDir", RRF_RT_REG_SZ, nullptr, folder, &size);
  return folder;
}

class InstallerEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = lume_test::fresh_test_folder("entry");
    title_ = "Lume entry test " + std::to_string(GetCurrentProcessId());
    folder_ = program_files() + "\\" + title_ + "\\";
    std::string stub = lume_test::read_file(lume_test::windows_path(LUME_STUB_EXE));
    ASSERT_FALSE(stub.empty());
    std::vector<unsigned char> image(stub.begin(), stub.end());
    ASSERT_TRUE(lume_test::configure_stub(image, title_, title_, ""));
    std::vector<PayloadFile> files = {{"hello.txt", "hello"}};
    std::vector<unsigned char> payload =
        lume_test::payload_of(files, lume_test::compressed("hello"));
    image.insert(image.end(), payload.begin(), payload.end());
    ASSERT_TRUE(lume_test::write_file(root_ + "setup.exe", image));
  }

  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (LUME_UNINSTALL_KEY_PREFIX + title_).c_str());
    lume_test::remove_tree(folder_.substr(0, folder_.size() - 1));
    lume_test::remove_tree(root_.substr(0, root_.size() - 1));
    if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
  }

  // Starts the installer and answers its start question.
  ChildProcess start_and_answer(int answer) {
    // Started under a name without ".exe", as a command prompt may pass it.
    ChildProcess setup = ChildProcess::start(lume_test::quoted(root_ + "setup"));
    std::optional<SeenWindow> question =
        robot_.answer_message_box({title_ + " Setup", "", setup.id()}, answer);
    EXPECT_TRUE(question);
    if (question) {
      EXPECT_EQ(question->message(), title_ + " will be installed. Do you wish to continue?");
      EXPECT_EQ(question->button_ids(), (std::vector<int>{IDYES, IDNO}));
    }
    return setup;
  }

  std::string root_, title_, folder_;
  GuiRobot robot_;
};

}  // namespace

TEST_F(InstallerEntry, AcceptingInstallsIntoTheProposedFolder) {
  ChildProcess setup = start_and_answer(IDYES);
  std::optional<SeenWindow> folder_dialog =
      robot_.wait_for({title_ + " Setup", "#32770", setup.id()});
  ASSERT_TRUE(folder_dialog);
  EXPECT_EQ(robot_.control_text(folder_dialog->handle, kFolderEditId),
            folder_.substr(0, folder_.size() - 1));
  robot_.press(*folder_dialog, kFolderOkId);
  std::optional<SeenWindow> done = robot_.answer_message_box({title_ + " Setup", "", setup.id()}, IDOK);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->message(), "Installation Complete.");
  EXPECT_EQ(setup.wait_exit(), 0u);
  EXPECT_EQ(lume_test::read_file(folder_ + "hello.txt"), "hello");
  EXPECT_EQ(lume_test::read_file(folder_ + "lumeuins.dat"),
            title_ + "\n0" + folder_ + "hello.txt\n3" LUME_UNINSTALL_KEY_PREFIX + title_ + "\n");
}
