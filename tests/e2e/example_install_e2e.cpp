// The example product's installer, made by `lume build` with the PE32
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
//   LUME_E2E_SHORTCUTS  the project file's rows: "group<TAB>name", then one
//                       line per row in table order:
//                       kind<TAB>link name<TAB>target<TAB>arguments
//                       (kind "1" Start menu, "2" desktop)
//   LUME_E2E_UNINSTALLER  the uninstaller the stub carries
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "robot/gui_robot.h"
#include "robot/install_driver.h"
#include "tests/support/payload_bytes.h"
#include "tests/support/shell_links.h"
#include "tests/support/test_files.h"
#include "robot/registry.h"
#include "uninstaller/uninstall_data.h"

using lume_robot::ChildProcess;
using lume_robot::GuiRobot;

using lume_robot::key_exists;
using lume_robot::registry_text;

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

struct ShortcutRow {
  char kind = '1';
  std::string link_name, target, arguments;
};

std::vector<ShortcutRow> read_shortcuts(const std::string& path, std::string* group) {
  std::vector<ShortcutRow> rows;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() == 2 && fields[0] == "group") *group = fields[1];
    if (fields.size() < 3) continue;
    rows.push_back({fields[0][0], fields[1], fields[2], fields.size() > 3 ? fields[3] : ""});
  }
  return rows;
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
    key_ = LUME_UNINSTALL_KEY_PREFIX + title_;
    manifest_ = read_manifest(environment("LUME_E2E_MANIFEST"));
    ASSERT_FALSE(manifest_.empty());
    shortcuts_ = read_shortcuts(environment("LUME_E2E_SHORTCUTS"), &group_);
    ASSERT_FALSE(shortcuts_.empty());
    // A clean start, whatever an earlier run left.
    lume_test::remove_tree(folder_.substr(0, folder_.size() - 1));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
  }
  // Whatever the run left, passed or failed.
  void TearDown() override {
    for (const ShortcutRow& row : shortcuts_) DeleteFileA(link_path(row).c_str());
    if (!group_.empty())
      lume_test::remove_tree(lume_test::special_folder(CSIDL_PROGRAMS) + "\\" + group_);
    if (!folder_.empty()) {
      lume_test::remove_tree(folder_.substr(0, folder_.size() - 1));
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
    }
    if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
  }

  // Runs the installer as a user who agrees to all. The post-install
  // program, a program of the installation folder, shows its own box; the
  // completion box comes only once it has ended.
  void install() {
    DWORD program = 0;
    bool program_ended = false;
    lume_robot::InstallChoices choices;
    choices.at_stage = [&](lume_robot::InstallStage stage, const lume_robot::SeenWindow& box) {
      if (stage == lume_robot::InstallStage::other_box) {
        program = box.process_id;
        EXPECT_EQ(program_of(program), folder_ + environment("LUME_E2E_RUN_PROGRAM"));
      }
      if (stage == lume_robot::InstallStage::completion)
        program_ended = program != 0 && has_ended(program);
    };
    lume_robot::InstallRun run =
        lume_robot::run_installer(robot_, lume_test::quoted(installer_), choices);
    EXPECT_EQ(run.exit_code, std::optional<DWORD>(0));
    // The folder dialog proposes the program files folder and the folder name.
    EXPECT_EQ(run.proposed_folder, folder_.substr(0, folder_.size() - 1));
    // The progress dialog is not looked for: the example's few kilobytes
    // are extracted in less time than the dialog takes to show.
    EXPECT_TRUE(run.background_shown);
    EXPECT_EQ(run.messages(),
              (std::vector<std::string>{title_ + " will be installed. Do you wish to continue?",
                                        "Do you wish to create desktop shortcut icons?",
                                        "Lume Hello is installed. Find it in the Start menu.",
                                        "Installation Complete."}));
    EXPECT_TRUE(program_ended) << "the completion box came before the program ended";
  }

  // Where a row's shortcut goes.
  std::string link_path(const ShortcutRow& row) const {
    if (row.kind == '2') return lume_test::special_folder(CSIDL_DESKTOP) + "\\" + row.link_name;
    return lume_test::special_folder(CSIDL_PROGRAMS) + "\\" + group_ + "\\" + row.link_name;
  }

  std::string installer_, title_, folder_, key_, group_;
  std::vector<ManifestEntry> manifest_;
  std::vector<ShortcutRow> shortcuts_;
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

  EXPECT_TRUE(lume_test::read_file(folder_ + "lumeuins.exe") ==
              lume_test::read_file(environment("LUME_E2E_UNINSTALLER")))
      << "lumeuins.exe differs from the embedded uninstaller";

  // The record of the installation, line by line: the title, the files in
  // payload order, the Start-menu and then the desktop shortcuts in table
  // order, the registration last; and the registration itself.
  std::vector<std::string> want = {title_};
  for (const ManifestEntry& e : manifest_) want.push_back("0" + folder_ + e.name);
  for (const ShortcutRow& row : shortcuts_) want.push_back(row.kind + link_path(row));
  want.push_back("3" + key_);
  EXPECT_EQ(lines_of(lume_test::read_file(folder_ + "lumeuins.dat")), want);
  EXPECT_EQ(registry_text(key_, "DisplayName"), title_);
  std::string uninstall = registry_text(key_, "UninstallString");
  EXPECT_EQ(uninstall, "\"" + folder_ + "lumeuins.exe\"");

  // Each shortcut as the shell reads it: target, arguments, the target's
  // first icon.
  for (const ShortcutRow& row : shortcuts_) {
    std::optional<lume_test::Link> link = lume_test::read_link(link_path(row));
    ASSERT_TRUE(link) << link_path(row);
    EXPECT_EQ(link->target, folder_ + row.target) << row.link_name;
    EXPECT_EQ(link->arguments, row.arguments) << row.link_name;
    EXPECT_EQ(link->icon, folder_ + row.target) << row.link_name;
    EXPECT_EQ(link->icon_index, 0) << row.link_name;
  }

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
  for (const ShortcutRow& row : shortcuts_)
    EXPECT_FALSE(lume_test::file_exists(link_path(row))) << link_path(row);
  EXPECT_FALSE(lume_test::folder_exists(lume_test::special_folder(CSIDL_PROGRAMS) + "\\" + group_));
  EXPECT_FALSE(key_exists(key_));
}

}  // namespace
