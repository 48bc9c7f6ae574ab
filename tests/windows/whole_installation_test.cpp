// Whole installations of generated products through the shipped
// stub: every window answered by the robot, every file, record, shortcut
// and registry value checked, and everything removed again by the
// installed uninstaller.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/installation_fixture.h"
#include "tests/support/test_files.h"
#include "robot/registry.h"

using lume_robot::InstallChoices;
using lume_robot::InstallRun;
using lume_robot::InstallStage;
using lume_test::PayloadFile;
using lume_robot::SeenWindow;

namespace {

class WholeInstallation : public lume_test::InstallationTest {
 protected:
  std::string question() const {
    return settings_.title + " will be installed. Do you wish to continue?";
  }
};

TEST_F(WholeInstallation, AGeneratedProductIsInstalledWholeAndRemovedSaveAFolderWithAUsersFile) {
  // Some of the product's names are written in this code page.
  ASSERT_EQ(GetACP(), 1252u);
  std::vector<PayloadFile> files = lume_test::generated_product(320, 1);
  files.insert(files.begin() + 10, PayloadFile("bin\\finish.exe", lume_test::post_install_helper()));
  settings_.run_after = "bin\\finish.exe /after-install";
  settings_.start_menu = {{"Product.lnk", "bin\\finish.exe"},
                          {"Product with options.lnk", "bin\\finish.exe /options two"},
                          {"Caf\xE9.lnk", "docs\\Caf\xE9 cr\xE8me \xA9 \xBD.txt"},
                          {"Uninstall.lnk", "lumeuins.exe"}};
  settings_.desktop = {{"Lume E2E " + tag_ + ".lnk", "bin\\finish.exe"},
                       {"Lume E2E " + tag_ + " desktop.lnk", "bin\\finish.exe /desktop"}};
  make_installer(files);

  bool ended_before_completion = false;
  InstallChoices choices;
  choices.at_stage = [&](InstallStage stage, const SeenWindow& window) {
    if (stage == InstallStage::folder_dialog)
      expect_gradient(window, "whole_installation_background.png");
    if (stage == InstallStage::completion)
      ended_before_completion = lume_test::read_file(post_install_log()).find("ended\n") !=
                                std::string::npos;
  };
  InstallRun run = install(choices);
  // The post-install program ran its executable, which moved its last access.
  expect_complete(run, files, true, {"bin\\finish.exe"});
  EXPECT_TRUE(run.background_shown);
  EXPECT_EQ(run.messages(), (std::vector<std::string>{
                                question(), "Do you wish to create desktop shortcut icons?",
                                "The post-install program runs.", "Installation Complete."}));

  // The post-install program: the installation folder and the configured
  // text as its command line, the installer's own current folder, and
  // waited for until it ended. Wine puts the program path it found in the
  // unquoted line in quotes when it holds blanks.
  char here[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof here, here);
  std::vector<std::string> log = lume_test::lines_of(lume_test::read_file(post_install_log()));
  std::string program = folder_ + "bin\\finish.exe";
  if (!log.empty() && log[0].rfind("command \"" + program + "\"", 0) == 0) {
    log[0].erase(8 + program.size() + 1, 1);
    log[0].erase(8, 1);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"command " + program + " /after-install",
                                           std::string("folder ") + here, "ended"}));
  EXPECT_TRUE(ended_before_completion) << "the completion box came before the program ended";

  // A file of the user's own keeps its folder and the folders above it.
  ASSERT_TRUE(lume_test::write_file(folder_ + "docs\\en\\my notes.txt", "mine"));
  std::vector<std::string> records = data_lines();
  ASSERT_NO_FATAL_FAILURE(uninstall());
  expect_removed(records, {"docs\\", "docs\\en\\", "docs\\en\\my notes.txt"});
}

TEST_F(WholeInstallation, InstallingTwiceIntoTheSameFolderAndUninstallingLeavesNothing) {
  std::vector<PayloadFile> files = lume_test::generated_product(40, 2);
  settings_.start_menu = {{"Product.lnk", files[1].name}, {"Other.lnk", files[2].name + " -x"}};
  settings_.desktop = {{"Lume E2E " + tag_ + ".lnk", files[3].name}};
  make_installer(files);
  expect_complete(install(), files, true);

  // The second run writes over what the first made, a file the user
  // changed among it, and lists only what it made itself.
  ASSERT_TRUE(lume_test::write_file(folder_ + files[4].name, "changed by the user"));
  InstallRun again = install();
  expect_complete(again, files, true);
  uninstall_and_expect_nothing_left();
}

TEST_F(WholeInstallation, ARefusedRegistrationStillCompletesWithoutARegistryRecord) {
  // The registry refuses a lasting key below a volatile one: the title
  // names the key below such a parent.
  std::string parent = lume_test::kUninstallKeyPrefix + ("Lume E2E volatile " + tag_);
  settings_.title = "Lume E2E volatile " + tag_ + "\\Product";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  extra_keys_.push_back(parent);

  std::vector<PayloadFile> files = {{"program.exe", "MZ pretend"}, {"docs\\read me.txt", "hi"}};
  settings_.start_menu = {{"Program.lnk", "program.exe"}};
  make_installer(files);
  InstallRun run = install();
  EXPECT_EQ(run.exit_code, std::optional<DWORD>(0));
  EXPECT_EQ(run.messages(), (std::vector<std::string>{question(), "Installation Complete."}));
  EXPECT_FALSE(lume_robot::key_exists(key_));
  std::vector<std::string> records = data_lines();
  EXPECT_EQ(records, (std::vector<std::string>{settings_.title, file_record("program.exe"),
                                               file_record("docs\\read me.txt"),
                                               record('1', start_menu_link(settings_.start_menu[0]))}));
  expect_files(files);
  expect_shortcuts(false);

  ASSERT_NO_FATAL_FAILURE(uninstall());
  expect_removed(records);
}

}  // namespace
