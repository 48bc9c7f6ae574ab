// Shortcut rows through the shipped stub: how a row's field becomes
// target and arguments, an empty group name, and a table that ends at its
// first empty row. Read back through the shell's link object, recorded in
// the data file and removed by the uninstaller. (The rules themselves are
// tested in shortcuts_test; these are the installer's own runs of them.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/installation_fixture.h"
#include "tests/support/shell_links.h"
#include "tests/support/test_files.h"

using lume_test::PayloadFile;

namespace {

class InstalledShortcuts : public lume_test::InstallationTest {};

const std::vector<PayloadFile> kProduct = {
    {"tool.exe", "MZ tool"}, {"a.exe", "MZ a"}, {"readme.txt", "Read me."}};

TEST_F(InstalledShortcuts, FieldsSplitAtTheFirstExeAndAnEmptyGroupIsTheProgramsFolder) {
  const std::string name = "Lume E2E " + tag_;
  settings_.group = "";
  settings_.start_menu = {{name + " tool.lnk", "tool.exe"},
                          {name + " silent.lnk", "TOOL.EXE /s"},
                          {name + " first.lnk", "a.exe b.exe c"},
                          {name + " blank.lnk", "tool.exe "},
                          {name + " readme.lnk", "readme.txt"}};
  make_installer(kProduct);
  expect_complete(install(), kProduct, false);

  struct Expected {
    std::string target, arguments;
  } expected[] = {{"tool.exe", ""}, {"TOOL.EXE", "/s"}, {"a.exe", "b.exe c"}, {"tool.exe", ""},
                  {"readme.txt", ""}};
  std::vector<std::string> records = data_lines();
  for (size_t i = 0; i < settings_.start_menu.size(); ++i) {
    // Two separators: the programs folder, the empty group, the link.
    std::string path = programs_ + "\\\\" + settings_.start_menu[i].link_name;
    EXPECT_EQ(records[kProduct.size() + 1 + i], "1" + path);
    std::optional<lume_test::Link> link = lume_test::read_link(path);
    ASSERT_TRUE(link) << path;
    EXPECT_EQ(link->target, folder_ + expected[i].target) << path;
    EXPECT_EQ(link->arguments, expected[i].arguments) << path;
  }
  uninstall_and_expect_nothing_left();
}

TEST_F(InstalledShortcuts, ATableEndsAtItsFirstEmptyRow) {
  const std::string name = "Lume E2E " + tag_;
  std::vector<lume_test::ShortcutSetting> rows = {{name + " 00.lnk", "tool.exe"},
                                                  {name + " 01.lnk", "tool.exe /one"},
                                                  {name + " 02.lnk", "readme.txt"},
                                                  {"", "tool.exe"},
                                                  {name + " 04.lnk", "tool.exe /never"}};
  settings_.start_menu = rows;
  settings_.desktop = rows;
  make_installer(kProduct);
  expect_complete(install(), kProduct, true);
  // Three of each kind, and nothing for row 04.
  EXPECT_EQ(data_lines().size(), 1 + kProduct.size() + 3 + 3 + 1);
  EXPECT_FALSE(lume_test::file_exists(start_menu_link(rows[4])));
  EXPECT_FALSE(lume_test::file_exists(desktop_link(rows[4])));
  uninstall_and_expect_nothing_left();
}

}  // namespace
