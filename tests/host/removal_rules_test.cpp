#include "uninstaller/removal_rules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "uninstaller/uninstall_data.h"

namespace {

const char kFolder[] = "C:\\Program Files\\Hello App\\";

std::string folder(const char* path) {
  char out[kPathCapacity];
  folder_of(out, sizeof out, path);
  return out;
}

// Every path the pruning climb passes through, in order.
std::vector<std::string> climb(const std::string& start) {
  char path[kPathCapacity];
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

TEST(RemovalPaths, PlacesTheCopyInAFolderOfItsOwnUnderTheTemporaryFolder) {
  char folder[kPathCapacity], copy[kPathCapacity];
  for (const char* temp : {"C:\\Temp", "C:\\Temp\\"}) {
    ASSERT_TRUE(temporary_copy_paths(folder, copy, temp, "lume0f")) << temp;
    EXPECT_STREQ(folder, "C:\\Temp\\lume0f");
    EXPECT_STREQ(copy, "C:\\Temp\\lume0f\\lumeuinsx.exe");
  }
  ASSERT_TRUE(temporary_copy_paths(folder, copy, "C:\\Documents and Settings\\me\\Temp", "x"));
  EXPECT_STREQ(copy, "C:\\Documents and Settings\\me\\Temp\\x\\lumeuinsx.exe");
}

TEST(RemovalPaths, RefusesAnEmptyOrOverlongTemporaryFolder) {
  char folder[kPathCapacity], copy[kPathCapacity];
  EXPECT_FALSE(temporary_copy_paths(folder, copy, "", "x"));
  // 243 + "\\x\\" + 13 = 259 characters still fit; one more does not.
  EXPECT_TRUE(temporary_copy_paths(folder, copy, ("C:\\" + std::string(240, 't')).c_str(), "x"));
  EXPECT_FALSE(temporary_copy_paths(folder, copy, ("C:\\" + std::string(241, 't')).c_str(), "x"));
  EXPECT_FALSE(temporary_copy_paths(folder, copy, std::string(5000, 't').c_str(), "x"));
}

TEST(RemovalPaths, NamesTheCopysFolderWithEveryRandomByteInHexadecimal) {
  unsigned char random[kCopyFolderRandomBytes];
  for (int i = 0; i < kCopyFolderRandomBytes; ++i) random[i] = static_cast<unsigned char>(i * 17);
  random[kCopyFolderRandomBytes - 1] = 0xA5;
  char name[kCopyFolderNameSize];
  copy_folder_name(name, random);
  EXPECT_STREQ(name, "lume00112233445566778899aabbccddeea5");
}

TEST(RemovalPaths, QuotesBothPathsOfTheCopysCommandLine) {
  char out[kCopyCommandSize];
  ASSERT_TRUE(copy_command_line(out, sizeof out, "C:\\My Temp\\lumeuinsx.exe",
                                "C:\\Program Files\\Hello\\lumeuins.exe"));
  EXPECT_STREQ(out, "\"C:\\My Temp\\lumeuinsx.exe\" \"C:\\Program Files\\Hello\\lumeuins.exe\"");

  std::string longest(kPathCapacity - 1, 'p');
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

TEST(ShortcutRecords, AcceptsAbsoluteLinkFilePaths) {
  EXPECT_TRUE(is_shortcut_path(
      "C:\\Users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Hello\\Hello.lnk"));
  EXPECT_TRUE(is_shortcut_path("C:\\Users\\me\\Desktop\\Hello.LNK"));
  // An empty group name leaves two separators in a row.
  EXPECT_TRUE(is_shortcut_path("C:\\Start Menu\\Programs\\\\Hello.lnk"));
  EXPECT_TRUE(is_shortcut_path("\\\\server\\profiles\\me\\Desktop\\Hello.lnk"));
  EXPECT_TRUE(is_shortcut_path("C:\\Users\\me\\Desktop\\.hidden\\a. b\\Hello.lnk"));
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

// The platform strips trailing dots and blanks from a part, so ". " and
// ".. " would act as "." and "..".
TEST(ShortcutRecords, RefusesPartsMadeOfDotsAndBlanks) {
  for (const char* part : {". ", ".. ", " .", "...", " ..", ". . ", "  "}) {
    std::string path = std::string("C:\\Users\\me\\Desktop\\") + part + "\\Hello.lnk";
    EXPECT_FALSE(is_shortcut_path(path.c_str())) << "'" << part << "'";
    path = std::string("C:\\Users\\me\\Desktop\\") + part + "/Hello.lnk";
    EXPECT_FALSE(is_shortcut_path(path.c_str())) << "'" << part << "' before a slash";
  }
}

namespace {

const char kPrograms[] = "C:\\Users\\me\\Start Menu\\Programs";
const char kCommonPrograms[] = "C:\\ProgramData\\Start Menu\\Programs";
const char kDesktop[] = "C:\\Users\\me\\Desktop";
const char kCommonDesktop[] = "C:\\Users\\Public\\Desktop";
const ShortcutFolders kFolders = {kPrograms, kCommonPrograms, kDesktop, kCommonDesktop};

unsigned group_record(const std::string& path, const ShortcutFolders& folders = kFolders) {
  return shortcut_folder_length('1', path.c_str(), &folders);
}

unsigned desktop_record(const std::string& path, const ShortcutFolders& folders = kFolders) {
  return shortcut_folder_length('2', path.c_str(), &folders);
}

}  // namespace

// The length returned is where the pruning climb stops: the shell folder
// itself is never removed.
TEST(ShortcutRecords, AcceptsLinksWhereTheInstallerMakesThem) {
  const unsigned programs = sizeof kPrograms, common_programs = sizeof kCommonPrograms;
  EXPECT_EQ(group_record(std::string(kPrograms) + "\\Hello\\Hello.lnk"), programs);
  EXPECT_EQ(group_record(std::string(kPrograms) + "\\\\Hello.lnk"), programs);  // empty group
  EXPECT_EQ(group_record(std::string(kPrograms) + "\\Maker\\Hello\\Hello.lnk"), programs);
  EXPECT_EQ(group_record(std::string(kCommonPrograms) + "\\Hello\\Hello.lnk"), common_programs);
  EXPECT_EQ(group_record("c:\\users\\ME\\start menu\\programs\\Hello\\Hello.lnk"), programs);
  EXPECT_EQ(desktop_record(std::string(kDesktop) + "\\Hello.lnk"), sizeof kDesktop);
  EXPECT_EQ(desktop_record(std::string(kCommonDesktop) + "\\Hello.lnk"), sizeof kCommonDesktop);

  // A desktop redirected to a drive's root is reported with its separator.
  ShortcutFolders root = {"", "", "D:\\", ""};
  EXPECT_EQ(desktop_record("D:\\Hello.lnk", root), 3u);
}

TEST(ShortcutRecords, RefusesLinksOutsideTheFolderOfTheirKind) {
  const std::string programs = kPrograms, desktop = kDesktop;
  for (const std::string& path : {
           std::string("C:\\victim\\keep.lnk"),
           desktop + "\\Hello.lnk",                        // a desktop link as a group link
           programs,                                        // the folder itself
           programs + ".lnk",
           programs + " 2\\Hello\\Hello.lnk",              // a sibling sharing the prefix
           programs + "\\..\\Hello.lnk",
           programs + "\\Hello\\..\\..\\Hello.lnk",
           programs + "\\Hello/../../Hello.lnk",
           programs + "\\\\\\Hello.lnk",                    // more than one empty group
           programs + "\\Hello\\\\Hello.lnk",
           programs + "\\Hello \\Hello.lnk",               // the platform would strip the blank
           programs + "/Hello/Hello.lnk",
           programs + "\\Hello\\Hello.lnk:x.lnk",
           programs + "\\Hello\\report.doc",
       }) {
    EXPECT_EQ(group_record(path), 0u) << path;
  }
  for (const std::string& path : {
           programs + "\\Hello\\Hello.lnk",                 // a group link as a desktop link
           desktop + "\\\\Hello.lnk",
           desktop + "2\\Hello.lnk",
           desktop + "\\..\\Hello.lnk",
           std::string("C:\\victim\\keep.lnk"),
       }) {
    EXPECT_EQ(desktop_record(path), 0u) << path;
  }
  for (char kind : {'0', '3', '9'}) {
    EXPECT_EQ(shortcut_folder_length(kind, (desktop + "\\Hello.lnk").c_str(), &kFolders), 0u);
    EXPECT_EQ(shortcut_folder_length(kind, (programs + "\\Hello\\Hello.lnk").c_str(), &kFolders),
              0u);
  }
}

TEST(ShortcutRecords, AFolderTheSystemDidNotReportHoldsNothing) {
  ShortcutFolders none = {"", "", "", ""};
  EXPECT_EQ(group_record("\\Hello\\Hello.lnk", none), 0u);
  EXPECT_EQ(desktop_record("\\Hello.lnk", none), 0u);
  EXPECT_EQ(group_record("C:\\Hello\\Hello.lnk", none), 0u);
}

namespace {

std::string uninstall_key(const std::string& name) { return LUME_UNINSTALL_KEY_PREFIX + name; }

bool own_key(const std::string& key, const std::string& title) {
  return is_own_uninstall_key(key.c_str(), title.c_str());
}

}  // namespace

TEST(RegistryRecords, AcceptOnlyTheRegistrationOfTheDataFilesTitle) {
  EXPECT_TRUE(own_key(uninstall_key("Hello App 1.0"), "Hello App 1.0"));
  for (const std::string& key : {
           uninstall_key("Other App"),                       // another product's registration
           uninstall_key("Hello App 1.0 "),
           uninstall_key("Hello App 1."),
           uninstall_key("hello app 1.0"),                   // never written so by the installer
           std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Hello App 1.0"),
           uninstall_key("Hello App 1.0\\Sub"),
           std::string("Software\\Hello App 1.0"),
           std::string("Hello App 1.0"),
           std::string(""),
       }) {
    EXPECT_FALSE(own_key(key, "Hello App 1.0")) << key;
  }
}

TEST(RegistryRecords, ATitleTheInstallerWouldNotRegisterHasNoKey) {
  // Empty: the key would be the list itself.
  EXPECT_FALSE(own_key(uninstall_key(""), ""));
  EXPECT_FALSE(own_key(uninstall_key("").substr(0, uninstall_key("").size() - 1), ""));
  // A backslash would name a key below another product's.
  EXPECT_FALSE(own_key(uninstall_key("Other App\\Sub"), "Other App\\Sub"));
  EXPECT_FALSE(own_key(uninstall_key("Hello\\..\\Other App"), "Hello\\..\\Other App"));
  // Too long for a key path the installer builds: the record line was cut.
  std::string title(240, 't');
  EXPECT_FALSE(own_key(uninstall_key(title).substr(0, 259), title));
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
