// Shortcuts made from the configuration's tables, read back through the
// shell's own link object, and their records in the uninstall data file.
#include "installer/shortcuts.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "installer/shared_state.h"
#include "tests/support/shell_links.h"
#include "tests/support/test_files.h"
#include "uninstaller/uninstall_data.h"

namespace {

using lume_test::Link;
using lume_test::read_link;
using lume_test::special_folder;

void set_row(ShortcutRow& row, const char* link, const char* field) {
  std::snprintf(row.LinkName, sizeof row.LinkName, "%s", link);
  std::snprintf(row.FileField, sizeof row.FileField, "%s", field);
}

class Shortcuts : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = lume_test::fresh_test_folder("shortcuts");
    std::snprintf(install_folder, sizeof install_folder, "%s", folder_.c_str());
    data_path_ = folder_ + "lumeuins.dat";
    uninstall_data_file = std::fopen(data_path_.c_str(), "wb");
    ASSERT_NE(uninstall_data_file, nullptr);
    std::memset(table_, 0, sizeof table_);
    group_ = "Lume shortcut test " + std::to_string(GetCurrentProcessId());
    programs_ = special_folder(CSIDL_PROGRAMS);
    desktop_ = special_folder(CSIDL_DESKTOP);
    ASSERT_FALSE(programs_.empty());
    ASSERT_FALSE(desktop_.empty());
  }
  void TearDown() override {
    if (uninstall_data_file != nullptr) std::fclose(uninstall_data_file);
    uninstall_data_file = nullptr;
    for (const std::string& link : made_) DeleteFileA(link.c_str());
    RemoveDirectoryA((programs_ + "\\" + group_).c_str());
    lume_test::remove_tree(folder_.substr(0, folder_.size() - 1));
  }
  std::string records() {
    std::fflush(uninstall_data_file);
    return lume_test::read_file(data_path_);
  }
  std::string made(const std::string& path) {
    made_.push_back(path);
    return path;
  }

  ShortcutRow table_[kShortcutRows];
  std::string folder_, data_path_, group_, programs_, desktop_;
  std::vector<std::string> made_;
};

}  // namespace

TEST_F(Shortcuts, StartMenuRowsSplitTheirFieldAtTheFirstExeAndStopAtAnEmptyRow) {
  set_row(table_[0], "Tool.lnk", "tool.exe");
  set_row(table_[1], "Tool silent.lnk", "TOOL.EXE /s");
  set_row(table_[2], "First wins.lnk", "a.exe b.exe c");
  // row 3 empty: row 4 is never looked at
  set_row(table_[4], "Never.lnk", "never.exe");
  ASSERT_EQ(shortcut_rows_in_use(table_), 3);
  create_shortcuts(table_, nullptr, group_.c_str());

  std::string group_folder = programs_ + "\\" + group_ + "\\";
  struct Expected {
    const char* link;
    std::string target, arguments;
  } expected[] = {{"Tool.lnk", folder_ + "tool.exe", ""},
                  {"Tool silent.lnk", folder_ + "TOOL.EXE", "/s"},
                  {"First wins.lnk", folder_ + "a.exe", "b.exe c"}};
  std::string want_records;
  for (const Expected& e : expected) {
    std::optional<Link> link = read_link(made(group_folder + e.link));
    ASSERT_TRUE(link) << e.link;
    EXPECT_EQ(link->target, e.target) << e.link;
    EXPECT_EQ(link->arguments, e.arguments) << e.link;
    EXPECT_EQ(link->icon, e.target) << e.link;  // the target's first icon
    EXPECT_EQ(link->icon_index, 0) << e.link;
    want_records += "1" + group_folder + e.link + "\n";
  }
  EXPECT_FALSE(lume_test::file_exists(group_folder + "Never.lnk"));
  EXPECT_EQ(records(), want_records);
}

TEST_F(Shortcuts, DesktopRowsAndDocumentsAndAnEmptyGroupName) {
  std::string tag = std::to_string(GetCurrentProcessId());
  std::string blank_args = "Lume blank " + tag + ".lnk";
  std::string readme = "Lume readme " + tag + ".lnk";
  set_row(table_[0], blank_args.c_str(), "tool.exe ");
  set_row(table_[1], readme.c_str(), "readme.txt");
  create_shortcuts(table_, nullptr, nullptr);
  std::optional<Link> link = read_link(made(desktop_ + "\\" + blank_args));
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, folder_ + "tool.exe");
  EXPECT_EQ(link->arguments, "");
  link = read_link(made(desktop_ + "\\" + readme));
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, folder_ + "readme.txt");
  EXPECT_EQ(records(), "2" + desktop_ + "\\" + blank_args + "\n2" + desktop_ + "\\" + readme + "\n");

  // An empty group is still a group: the programs folder itself, and two
  // separators in the recorded path.
  std::fclose(uninstall_data_file);
  uninstall_data_file = std::fopen(data_path_.c_str(), "wb");
  create_shortcut(nullptr, (folder_ + "tool.exe").c_str(), nullptr, "", readme.c_str());
  EXPECT_TRUE(read_link(made(programs_ + "\\" + readme)));
  EXPECT_EQ(records(), "1" + programs_ + "\\\\" + readme + "\n");
}

TEST_F(Shortcuts, ATargetOrLinkPathThatWouldNotFitIsLeftOutWithoutARecord) {
  set_row(table_[0], "Long target.lnk", std::string(260 - folder_.size(), 'x').c_str());
  set_row(table_[1], std::string(250, 'n').append(".lnk").c_str(), "tool.exe");
  create_shortcuts(table_, nullptr, group_.c_str());
  EXPECT_EQ(records(), "");
  EXPECT_FALSE(lume_test::file_exists(programs_ + "\\" + group_ + "\\Long target.lnk"));
}
