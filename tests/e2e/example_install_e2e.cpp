// The example product's installer, made by `lume build` with the PE32
// stub, installed and removed again under Windows the way a user would:
// every box answered by the robot, and what it installed compared with
// what `lume extract` took out of the same installer. The installation is
// checked with the whole installations' own checks
// (tests/support/installation_fixture.h).
//
// tests/e2e/run prepares the inputs and passes them in the environment:
//   LUME_E2E_INSTALLER    the installer
//   LUME_E2E_EXTRACTED    the folder `lume extract` wrote the payload into
//   LUME_E2E_TITLE, LUME_E2E_FOLDER_NAME   the installer's slots
//   LUME_E2E_RUN_PROGRAM  the file the installer runs at its end
//   LUME_E2E_UNINSTALLER  the uninstaller the stub carries
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "robot/registry.h"
#include "tests/support/installation_fixture.h"
#include "tests/support/shell_links.h"
#include "tests/support/test_files.h"

using lume_test::PayloadFile;

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The program file of a running process, or "" once it has ended.
std::string program_of(DWORD process_id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) return "";
  char image[MAX_PATH] = {};
  DWORD size = sizeof image;
  if (!QueryFullProcessImageNameA(process, 0, image, &size)) image[0] = 0;
  CloseHandle(process);
  return image;
}

bool has_ended(DWORD process_id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) return true;
  bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

uint64_t ticks(const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

std::string program_files() {
  std::string value = lume_robot::registry_text("Software\\Microsoft\\Windows\\CurrentVersion",
                                                "ProgramFilesDir");
  return value.empty() ? "C:\\Program Files" : value;
}

// The files below folder (ending in '\\') in name order, which is the
// payload's order, with their bytes and times: every time read before any
// contents, which would move the last access.
std::vector<PayloadFile> files_below(const std::string& folder) {
  std::vector<PayloadFile> files;
  for (const std::string& name : lume_test::tree_listing(folder)) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (name.back() == '\\') continue;
    if (!GetFileAttributesExA((folder + name).c_str(), GetFileExInfoStandard, &data)) {
      ADD_FAILURE() << folder << name << ": no times";
      continue;
    }
    files.emplace_back(name, "", ticks(data.ftCreationTime), ticks(data.ftLastAccessTime),
                       ticks(data.ftLastWriteTime));
  }
  for (PayloadFile& f : files) f.contents = lume_test::read_file(folder + f.name);
  return files;
}

class ExampleInstaller : public lume_test::InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    installer_ = environment("LUME_E2E_INSTALLER");
    ASSERT_FALSE(installer_.empty()) << "run through tests/e2e/run";
    settings_.title = environment("LUME_E2E_TITLE");
    settings_.group.clear();  // the fixture's clean-up takes the recorded group below
    key_ = lume_test::kUninstallKeyPrefix + settings_.title;
    folder_ = program_files() + "\\" + environment("LUME_E2E_FOLDER_NAME") + "\\";
    extracted_ = environment("LUME_E2E_EXTRACTED") + "\\";
    files_ = files_below(extracted_);
    ASSERT_FALSE(files_.empty()) << "nothing extracted in " << extracted_;
    // A clean start, whatever an earlier run left.
    lume_test::remove_tree(folder_.substr(0, folder_.size() - 1));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
  }
  // Whatever the run left, passed or failed.
  void TearDown() override {
    for (const std::string& line : records_) {
      if (line[0] != '1' && line[0] != '2') continue;
      DeleteFileA(line.c_str() + 1);
      RemoveDirectoryA(line.substr(1, line.rfind('\\') - 1).c_str());  // once empty
    }
    lume_test::remove_tree(folder_.substr(0, folder_.size() - 1));
    InstallationTest::TearDown();
  }

  // Runs the installer as a user who agrees to all. The post-install
  // program, a program of the installation folder, shows its own box; the
  // completion box comes only once it has ended.
  void install_agreeing() {
    DWORD program = 0;
    bool program_ended = false;
    lume_test::InstallChoices choices;
    choices.at_stage = [&](lume_test::InstallStage stage, const lume_test::SeenWindow& box) {
      if (stage == lume_test::InstallStage::other_box) {
        program = box.process_id;
        EXPECT_EQ(program_of(program), folder_ + environment("LUME_E2E_RUN_PROGRAM"));
      }
      if (stage == lume_test::InstallStage::completion)
        program_ended = program != 0 && has_ended(program);
    };
    lume_test::InstallRun run =
        lume_robot::run_installer(robot_, lume_test::quoted(installer_), choices);
    EXPECT_EQ(run.exit_code, std::optional<DWORD>(0));
    // The folder dialog proposes the program files folder and the folder name.
    EXPECT_EQ(run.proposed_folder, folder_.substr(0, folder_.size() - 1));
    // The progress dialog is not looked for: the example's few kilobytes
    // are extracted in less time than the dialog takes to show.
    EXPECT_TRUE(run.background_shown);
    EXPECT_EQ(run.messages(), (std::vector<std::string>{
                                  settings_.title + " will be installed. Do you wish to continue?",
                                  "Do you wish to create desktop shortcut icons?",
                                  "Lume Hello is installed. Find it in the Start menu.",
                                  "Installation Complete."}));
    EXPECT_TRUE(program_ended) << "the completion box came before the program ended";
  }

  std::string extracted_;
  std::vector<PayloadFile> files_;
  std::vector<std::string> records_;
};

TEST_F(ExampleInstaller, InstallsWhatExtractTakesOutAndRemovesItAllAgain) {
  install_agreeing();
  records_ = data_lines();  // for the clean-up, whatever happens next
  ASSERT_FALSE(HasFatalFailure());

  // Every file as `lume extract` wrote it, with its times; running the
  // post-install program is an access of its own. Nothing else but the
  // uninstaller and its data file.
  expect_files(files_, {environment("LUME_E2E_RUN_PROGRAM")});
  std::set<std::string> want = lume_test::tree_listing(extracted_);
  want.insert({"lumeuins.exe", "lumeuins.dat"});
  EXPECT_EQ(lume_test::tree_listing(folder_), want);
  EXPECT_TRUE(lume_test::read_file(folder_ + "lumeuins.exe") ==
              lume_test::read_file(environment("LUME_E2E_UNINSTALLER")))
      << "lumeuins.exe differs from the embedded uninstaller";

  // The record: the title, the files in payload order, the shortcuts of
  // both tables, each a link to a file of the installation, and the
  // registration last.
  ASSERT_GE(records_.size(), files_.size() + 2);
  EXPECT_EQ(records_.front(), settings_.title);
  for (size_t i = 0; i < files_.size(); ++i)
    EXPECT_EQ(records_[1 + i], file_record(files_[i].name));
  int links[3] = {};
  for (size_t i = 1 + files_.size(); i + 1 < records_.size(); ++i) {
    const std::string& line = records_[i];
    ASSERT_TRUE(line[0] == '1' || line[0] == '2') << line;
    ++links[line[0] - '0'];
    std::optional<lume_test::Link> link = lume_test::read_link(line.substr(1));
    ASSERT_TRUE(link) << line;
    EXPECT_EQ(link->target.rfind(folder_, 0), 0u) << line << ": " << link->target;
    EXPECT_TRUE(lume_test::file_exists(link->target)) << line << ": " << link->target;
  }
  EXPECT_GT(links[1], 0) << "no Start-menu shortcut";
  EXPECT_GT(links[2], 0) << "no desktop shortcut";
  EXPECT_EQ(records_.back(), record('3', key_));
  EXPECT_EQ(lume_robot::registry_text(key_, "DisplayName"), settings_.title);
  EXPECT_EQ(lume_robot::registry_text(key_, "UninstallString"),
            lume_test::quoted(folder_ + "lumeuins.exe"));

  // Removal as the list of installed programs starts it.
  ASSERT_NO_FATAL_FAILURE(uninstall());
  expect_removed(records_);
  const std::string first_link = records_[1 + files_.size()].substr(1);
  EXPECT_FALSE(lume_test::folder_exists(first_link.substr(0, first_link.rfind('\\'))))
      << "the Start-menu group stays";
}

}  // namespace
