// The example product's installer, made by `lume build` with the PE32+
// stub, installed and removed again under Windows the way a user would:
// every box answered by the robot, every file compared with what the
// installer's own listing promised.
//
// tests/e2e/run prepares the inputs and passes them in the environment:
//   LUME_E2E_INSTALLER  the installer
//   LUME_E2E_MANIFEST   one line per payload file, in payload order:
//                       name<TAB>size<TAB>check<TAB>last access<TAB>last write
//                       (check in hex, times as FILETIME ticks)
//   LUME_E2E_EXTRACTED  the folder `lume extract` wrote the payload into
//   LUME_E2E_TITLE, LUME_E2E_FOLDER_NAME   the installer's slots
//   LUME_E2E_RUN_PROGRAM  the file the installer runs at its end
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/gui_robot.h"
#include "tests/support/install_driver.h"
#include "tests/support/payload_bytes.h"
#include "tests/support/test_files.h"
#include "tests/support/test_registry.h"

using lume_test::ChildProcess;
using lume_test::GuiRobot;

using lume_test::key_exists;
using lume_test::registry_text;

namespace {

struct ManifestEntry {
  std::string name;
  uint64_t size = 0;
  uint32_t check = 0;
  uint64_t last_access = 0;
  uint64_t last_write = 0;
};

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<ManifestEntry> read_manifest(const std::string& path) {
  std::vector<ManifestEntry> entries;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    ManifestEntry e;
    std::string check;
    std::getline(fields, e.name, '\t');
    fields >> e.size >> check >> e.last_access >> e.last_write;
    e.check = static_cast<uint32_t>(std::stoul(check, nullptr, 16));
    entries.push_back(e);
  }
  return entries;
}

uint64_t ticks(const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

std::string program_files() {
  std::string value = registry_text("Software\\Microsoft\\Windows\\CurrentVersion",
                                    "ProgramFilesDir");
  return value.empty() ? "C:\\Program Files" : value;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ExampleInstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_ = environment("LUME_E2E_INSTALLER");
    title_ = environment("LUME_E2E_TITLE");
    ASSERT_FALSE(installer_.empty()) << "run through tests/e2e/run";
    folder_ = program_files() + "\\" + environment("LUME_E2E_FOLDER_NAME") + "\\";
    key_ = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + title_;
    manifest_ = read_manifest(environment("LUME_E2E_MANIFEST"));
    ASSERT_FALSE(manifest_.empty());
    // A clean start, whatever an earlier run left.
    lume_test::remove_tree(folder_.substr(0, folder_.size() - 1));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
  }
  void TearDown() override {
    if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
  }

  // Runs the installer as a user who agrees to all.
  void install() {
    lume_test::InstallRun run = lume_test::run_installer(robot_, lume_test::quoted(installer_));
    EXPECT_EQ(run.exit_code, std::optional<DWORD>(0));
    // The folder dialog proposes the program files folder and the folder name.
    EXPECT_EQ(run.proposed_folder, folder_.substr(0, folder_.size() - 1));
    EXPECT_TRUE(run.progress_shown);
    // The post-install program greets the user; the sequence waits for it.
    EXPECT_EQ(run.messages(),
              (std::vector<std::string>{title_ + " will be installed. Do you wish to continue?",
                                        "Do you wish to create desktop shortcut icons?",
                                        "Lume Hello is installed. Find it in the Start menu.",
                                        "Installation Complete."}));
  }

  std::string installer_, title_, folder_, key_;
  std::vector<ManifestEntry> manifest_;
  GuiRobot robot_;
};

TEST_F(ExampleInstaller, InstallsEveryFileAsListedAndRemovesItAllAgain) {
  ASSERT_NO_FATAL_FAILURE(install());

  // Every payload file: its size, its check value, the bytes `lume extract`
  // wrote, and its stored last-access and last-write times (read before the
  // contents, which would move the last access).
  std::string extracted = environment("LUME_E2E_EXTRACTED");
  for (const ManifestEntry& e : manifest_) {
    std::string path = folder_ + e.name;
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
    EXPECT_EQ(ticks(data.ftLastWriteTime), e.last_write) << e.name;
    // Running the post-install program is an access of its own.
    if (e.name != environment("LUME_E2E_RUN_PROGRAM")) {
      EXPECT_EQ(ticks(data.ftLastAccessTime), e.last_access) << e.name;
    }
    std::string bytes = lume_test::read_file(path);
    EXPECT_EQ(bytes.size(), e.size) << e.name;
    EXPECT_EQ(lume_test::reference_check(bytes), e.check) << e.name;
    EXPECT_TRUE(bytes == lume_test::read_file(extracted + "\\" + e.name)) << e.name;
  }

  // The record of the installation: the title, the files in payload order,
  // the Start-menu and then the desktop shortcuts, the registration last;
  // and the registration itself.
  std::vector<std::string> records = lines_of(lume_test::read_file(folder_ + "lumeuins.dat"));
  ASSERT_GT(records.size(), manifest_.size() + 2);
  EXPECT_EQ(records.front(), title_);
  for (size_t i = 0; i < manifest_.size(); ++i)
    EXPECT_EQ(records[i + 1], "0" + folder_ + manifest_[i].name);
  std::string kinds;
  for (size_t i = manifest_.size() + 1; i + 1 < records.size(); ++i) {
    kinds += records[i][0];
    EXPECT_TRUE(lume_test::file_exists(records[i].substr(1))) << records[i];
  }
  EXPECT_NE(kinds.find('1'), std::string::npos);
  EXPECT_NE(kinds.find('2'), std::string::npos);
  EXPECT_EQ(kinds.find_first_not_of('1'), kinds.find('2'));  // all "1" before all "2"
  EXPECT_EQ(kinds.find_first_not_of('2', kinds.find('2')), std::string::npos);
  EXPECT_EQ(records.back(), "3" + key_);
  std::vector<std::string> shortcuts(records.begin() + long(manifest_.size()) + 1,
                                     records.end() - 1);
  EXPECT_EQ(registry_text(key_, "DisplayName"), title_);
  std::string uninstall = registry_text(key_, "UninstallString");
  EXPECT_EQ(uninstall, "\"" + folder_ + "lumeuins.exe\"");

  // Removal as the list of installed programs starts it.
  ChildProcess launcher = ChildProcess::start(uninstall);
  ASSERT_TRUE(launcher.started());
  EXPECT_EQ(launcher.wait_exit(), std::optional<DWORD>(0));
  auto confirm = robot_.answer_message_box({"Uninstall " + title_, "#32770", 0}, IDYES);
  ASSERT_TRUE(confirm.has_value());
  EXPECT_EQ(confirm->message(), title_ + " will be uninstalled. Do you wish to continue?");
  auto complete = robot_.answer_message_box({"Uninstall " + title_, "#32770", 0}, IDOK, 60000);
  ASSERT_TRUE(complete.has_value());
  EXPECT_EQ(complete->message(), "Uninstall Complete.");
  robot_.wait_gone(complete->handle);

  EXPECT_FALSE(lume_test::folder_exists(folder_)) << "the installation folder stays behind";
  for (const std::string& record : shortcuts)
    EXPECT_FALSE(lume_test::file_exists(record.substr(1))) << record;
  EXPECT_FALSE(key_exists(key_));
}

}  // namespace
