// The user's answers, end to end through the shipped stub: declining
// at the start, cancelling the folder dialog, declining desktop shortcuts
// (with an empty group name), and cancelling during the extraction,
// confirmed or taken back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/installation_fixture.h"
#include "tests/support/test_files.h"
#include "robot/registry.h"

using lume_robot::InstallChoices;
using lume_robot::InstallRun;
using lume_test::PayloadFile;

namespace {

// Hard-to-compress bytes behind the generated files, so that the payload
// spans two of the decoder's 4 MiB pieces and a cancel can land between
// them. Under Wine here the robot's press lands after a few dozen of the
// generated files, well before the bulk.
constexpr size_t kBulkBytes = 6u << 20;

// The product a cancel interrupts, with the post-install program first, so
// that it is in place wherever the cancel lands. Made and compressed once
// for the cases that share it.
const std::vector<PayloadFile>& large_product() {
  static const std::vector<PayloadFile> files = [] {
    std::vector<PayloadFile> made = lume_test::generated_product(200, 5, kBulkBytes);
    made.insert(made.begin(), PayloadFile("program.exe", lume_test::post_install_helper()));
    return made;
  }();
  return files;
}

const std::vector<unsigned char>& large_payload() {
  static const std::vector<unsigned char> payload = lume_test::payload_of(
      large_product(), lume_test::compressed(lume_test::concatenated(large_product()),
                                             lume::codec::kFastestLevel));
  return payload;
}

class InstallAnswers : public lume_test::InstallationTest {
 protected:
  void SetUp() override {
    lume_test::InstallationTest::SetUp();
    settings_.start_menu = {{"Program.lnk", "program.exe"}, {"Program quiet.lnk", "program.exe /q"}};
    settings_.desktop = {{"Lume E2E " + tag_ + ".lnk", "program.exe"}};
  }

  std::string question() const {
    return settings_.title + " will be installed. Do you wish to continue?";
  }

  // Nothing but the installer in the case's folder, no group, no desktop
  // shortcut, no registration.
  void expect_nothing_written() {
    EXPECT_EQ(lume_test::tree_listing(root_), std::set<std::string>{"setup.exe"});
    EXPECT_FALSE(lume_robot::key_exists(key_));
    EXPECT_FALSE(lume_test::folder_exists(programs_ + "\\" + settings_.group));
    EXPECT_FALSE(lume_test::file_exists(desktop_link(settings_.desktop[0])));
  }

  void make_large_installer() {
    settings_.run_after = "program.exe";
    std::vector<unsigned char> image = configured_stub();
    image.insert(image.end(), large_payload().begin(), large_payload().end());
    write_installer(image);
  }
};

const std::vector<PayloadFile> kSmallProduct = {{"program.exe", "MZ pretend"},
                                                {"docs\\guide.txt", "Read me first."}};

TEST_F(InstallAnswers, DecliningTheStartQuestionEndsWithExitCode1BeforeAnyWindow) {
  make_installer(kSmallProduct);
  InstallChoices choices;
  choices.start_answer = IDNO;
  InstallRun run = install(choices);
  EXPECT_EQ(run.exit_code, std::optional<DWORD>(1));
  EXPECT_EQ(run.messages(), std::vector<std::string>{question()});
  EXPECT_FALSE(run.background_shown);
  EXPECT_FALSE(run.folder_dialog_shown);
  expect_nothing_written();
}

TEST_F(InstallAnswers, CancellingTheFolderDialogEndsWithoutWritingAnything) {
  make_installer(kSmallProduct);
  InstallChoices choices;
  choices.cancel_folder = true;
  InstallRun run = install(choices);
  EXPECT_EQ(run.exit_code, std::optional<DWORD>(0));
  EXPECT_TRUE(run.folder_dialog_shown);
  EXPECT_EQ(run.messages(), std::vector<std::string>{question()});
  expect_nothing_written();
}

// With an empty group name, in the programs folder itself.
TEST_F(InstallAnswers, DecliningDesktopShortcutsStillMakesTheStartMenuOnes) {
  settings_.group.clear();
  settings_.start_menu = {{"Lume E2E " + tag_ + ".lnk", "program.exe"},
                          {"Lume E2E " + tag_ + " quiet.lnk", "program.exe /q"}};
  make_installer(kSmallProduct);
  InstallChoices choices;
  choices.desktop_answer = IDNO;
  InstallRun run = install(choices);
  EXPECT_TRUE(run.desktop_question_asked);
  expect_complete(run, kSmallProduct, false);
  uninstall_and_expect_nothing_left();
}

TEST_F(InstallAnswers, WithoutDesktopRowsThereIsNoDesktopQuestion) {
  settings_.desktop.clear();
  make_installer(kSmallProduct);
  InstallRun run = install();
  EXPECT_FALSE(run.desktop_question_asked);
  EXPECT_EQ(run.messages(), (std::vector<std::string>{question(), "Installation Complete."}));
  expect_complete(run, kSmallProduct, false);
  uninstall_and_expect_nothing_left();
}

// Wherever the cancel lands: the files recorded are a prefix of the
// payload, every one of them is there, whole but for the last, and nothing
// behind them; no shortcut, registration or post-install program.
TEST_F(InstallAnswers, ConfirmingCancelDuringExtractionKeepsTheFilesSoFarAndNothingElse) {
  const std::vector<PayloadFile>& files = large_product();
  make_large_installer();
  InstallChoices choices;
  choices.cancel_answer = IDYES;
  InstallRun run = install(choices);
  EXPECT_EQ(run.exit_code, std::optional<DWORD>(0));
  EXPECT_EQ(run.messages(), (std::vector<std::string>{
                                question(), "Do you wish to create desktop shortcut icons?",
                                "Cancel Installation?"}));
  EXPECT_EQ(run.boxes.back().caption, "Setup");

  std::vector<std::string> records = data_lines();
  ASSERT_FALSE(records.empty());
  size_t made = records.size() - 1;
  ASSERT_LT(made, files.size()) << "the cancel landed after the extraction";
  std::printf("cancelled after %zu of %zu files\n", made, files.size());
  expect_prefix_only(files, made);
  for (size_t i = 0; i + 1 < made; ++i)
    EXPECT_TRUE(lume_test::read_file(folder_ + files[i].name) == files[i].contents) << files[i].name;

  uninstall_and_expect_nothing_left();
}

TEST_F(InstallAnswers, TakingBackCancelDuringExtractionResumesAndCompletes) {
  const std::vector<PayloadFile>& files = large_product();
  make_large_installer();
  InstallChoices choices;
  choices.cancel_answer = IDNO;
  InstallRun run = install(choices);
  EXPECT_TRUE(run.progress_shown);
  EXPECT_TRUE(run.cancel_question_shown);
  std::printf("extraction: %llu ms from the first name to the completion box\n",
              static_cast<unsigned long long>(run.completion_ms - run.first_name_ms));
  expect_complete(run, files, true, {"program.exe"});
  EXPECT_EQ(run.messages(),
            (std::vector<std::string>{question(), "Do you wish to create desktop shortcut icons?",
                                      "Cancel Installation?", "The post-install program runs.",
                                      "Installation Complete."}));
  uninstall_and_expect_nothing_left();
}

}  // namespace
