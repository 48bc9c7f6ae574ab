#include "uninstaller/removal_rules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kFolder[] = "C:\\Program Files\\Hello App\\";

std::string folder(const char* path) {
  char out[kUninstallPathSize];
  folder_of(out, sizeof out, path);
  return out;
}

// Every path the pruning climb passes through, in order.
std::vector<std::string> climb(const std::string& start) {
  char path[kUninstallPathSize];
  std::snprintf(path, sizeof path, "%s", start.c_str());
  std::vector<std::string> steps;
  while (climb_to_parent(path)) steps.push_back(path);
  return steps;
}

}  // namespace

TEST(RemovalPaths, TakesTheFolderOfTheInstalledPath) {
  EXPECT_EQ(folder("C:\\Program Files\\Hello App\\lumeuins.exe"), kFolder);
  EXPECT_EQ(folder("C:/Apps/lumeuins.exe"), "C:/Apps/");
  EXPECT_EQ(folder("D:lumeuins.exe"), "D:");
  EXPECT_EQ(folder("lumeuins.exe"), "");
  EXPECT_EQ(folder("\\\\server\\share\\lumeuins.exe"), "\\\\server\\share\\");
}

TEST(RemovalPaths, PlacesTheCopyInTheTemporaryFolderWithOneSeparator) {
  char out[kUninstallPathSize];
  ASSERT_TRUE(temporary_copy_path(out, "C:\\Temp"));
  EXPECT_STREQ(out, "C:\\Temp\\lumeuinsx.exe");
  ASSERT_TRUE(temporary_copy_path(out, "C:\\Temp\\"));
  EXPECT_STREQ(out, "C:\\Temp\\lumeuinsx.exe");
  ASSERT_TRUE(temporary_copy_path(out, "C:\\Documents and Settings\\me\\Local Settings\\Temp"));
  EXPECT_STREQ(out, "C:\\Documents and Settings\\me\\Local Settings\\Temp\\lumeuinsx.exe");
}

TEST(RemovalPaths, RefusesAnEmptyOrOverlongTemporaryFolder) {
  char out[kUninstallPathSize];
  EXPECT_FALSE(temporary_copy_path(out, ""));
  // 245 + "\\" + 13 = 259 characters still fit; one more does not.
  EXPECT_TRUE(temporary_copy_path(out, ("C:\\" + std::string(242, 't')).c_str()));
  EXPECT_FALSE(temporary_copy_path(out, ("C:\\" + std::string(243, 't')).c_str()));
  EXPECT_FALSE(temporary_copy_path(out, std::string(5000, 't').c_str()));
}

TEST(RemovalPaths, QuotesBothPathsOfTheCopysCommandLine) {
  char out[kCopyCommandSize];
  ASSERT_TRUE(copy_command_line(out, sizeof out, "C:\\My Temp\\lumeuinsx.exe",
                                "C:\\Program Files\\Hello\\lumeuins.exe"));
  EXPECT_STREQ(out, "\"C:\\My Temp\\lumeuinsx.exe\" \"C:\\Program Files\\Hello\\lumeuins.exe\"");

  std::string longest(kUninstallPathSize - 1, 'p');
  EXPECT_TRUE(copy_command_line(out, sizeof out, longest.c_str(), longest.c_str()));
  EXPECT_EQ(std::string(out).size(), 2 * longest.size() + 5);
}

TEST(FileRecords, AcceptsWhatAnInstallationWritesIntoItsFolder) {
  EXPECT_TRUE(is_inside_folder("C:\\Program Files\\Hello App\\hello.exe", kFolder));
  EXPECT_TRUE(is_inside_folder("C:\\Program Files\\Hello App\\doc\\en\\read me.txt", kFolder));
  // The installed path may come back in another letter case than was typed.
  EXPECT_TRUE(is_inside_folder("c:\\program files\\HELLO APP\\hello.exe", kFolder));
}

TEST(FileRecords, RefusesPathsThatLeaveTheInstallationFolder) {
  for (const char* path : {
           "C:\\Windows\\system32\\kernel32.dll",
           "C:\\Program Files\\Hello App",                  // the folder itself
           "C:\\Program Files\\Hello App\\",                // nor its name with a separator
           "C:\\Program Files\\Hello App2\\x.dll",          // a sibling sharing the prefix
           "C:\\Program Files\\Hello App\\..\\Other\\x.dll",
           "C:\\Program Files\\Hello App\\sub\\..\\..\\x.dll",
           "C:\\Program Files\\Hello App\\.\\x.dll",
           "C:\\Program Files\\Hello App\\sub/../../x.dll",
           "C:\\Program Files\\Hello App\\\\x.dll",
           "C:\\Program Files\\Hello App\\x.dll:stream",
           "C:\\Program Files\\Hello App\\D:\\x.dll",
           "C:\\Program Files\\Hello App\\...\\x.dll",
           "C:\\Program Files\\Hello App\\x.dll.",
           "",
       }) {
    EXPECT_FALSE(is_inside_folder(path, kFolder)) << path;
  }
  EXPECT_FALSE(is_inside_folder("C:\\x.dll", ""));
}

TEST(ShortcutRecords, AcceptsLinkFilesInAnyFolder) {
  EXPECT_TRUE(is_shortcut_path(
      "C:\\Users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Hello\\Hello.lnk"));
  EXPECT_TRUE(is_shortcut_path("C:\\Users\\me\\Desktop\\Hello.LNK"));
  // An empty group name leaves two separators in a row.
  EXPECT_TRUE(is_shortcut_path("C:\\Start Menu\\Programs\\\\Hello.lnk"));
  EXPECT_TRUE(is_shortcut_path("\\\\server\\profiles\\me\\Desktop\\Hello.lnk"));
}

TEST(ShortcutRecords, RefusesAnythingButALinkFile) {
  for (const char* path : {
           "C:\\Users\\me\\Desktop\\report.doc",
           "C:\\Windows\\system32\\kernel32.dll",
           "C:\\Users\\me\\Desktop\\Hello.lnk\\x.dll",
           "C:\\Users\\me\\Desktop\\Hello.lnk:stream",
           "C:\\Users\\me\\Desktop\\x.dll:y.lnk",
           "C:\\Users\\me\\Desktop\\..\\Hello.lnk",
           "C:\\Users\\me\\Desktop\\.\\Hello.lnk",
           "Desktop\\Hello.lnk",
           "C:Hello.lnk",
           ".lnk",
           "",
       }) {
    EXPECT_FALSE(is_shortcut_path(path)) << path;
  }
}

TEST(RegistryRecords, AcceptsOnlySubkeysOfTheUninstallList) {
  EXPECT_TRUE(is_uninstall_key("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Hello"));
  EXPECT_TRUE(is_uninstall_key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Hello 2"));
  for (const char* key : {
           "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
           "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
           "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\\\",
           "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
           "Software\\Microsoft\\Windows\\CurrentVersion",
           "System\\CurrentControlSet\\Services\\Hello",
           "",
       }) {
    EXPECT_FALSE(is_uninstall_key(key)) << key;
  }
}

TEST(PruningClimb, ClimbsFolderByFolderAndStopsBelowTheRoot) {
  EXPECT_EQ(climb("C:\\Apps\\Hello\\sub\\a.txt"),
            (std::vector<std::string>{"C:\\Apps\\Hello\\sub", "C:\\Apps\\Hello", "C:\\Apps"}));
  EXPECT_EQ(climb("C:\\a.txt"), std::vector<std::string>{});
  EXPECT_EQ(climb("a.txt"), std::vector<std::string>{});
  EXPECT_EQ(climb("D:a.txt"), std::vector<std::string>{});
  EXPECT_EQ(climb("\\Apps\\a.txt"), std::vector<std::string>{"\\Apps"});
  EXPECT_EQ(climb("C:/Apps/a.txt"), std::vector<std::string>{"C:/Apps"});
}
