// The uninstaller program, run as a separate process and watched by the
// robot: launcher and removal modes, its three boxes and exit codes, what it
// removes and what it leaves alone.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "robot/gui_robot.h"
#include "tests/support/test_files.h"
#include "robot/registry.h"
#include "uninstaller/uninstall_data.h"

using lume_robot::ChildProcess;
using lume_robot::GuiRobot;
using lume_robot::SeenWindow;

using lume_robot::key_exists;

namespace {

std::string uninstall_key(const std::string& name) {
  return LUME_UNINSTALL_KEY_PREFIX + name;
}

void create_key(const std::string& key) {
  HKEY handle;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, &handle, nullptr),
            ERROR_SUCCESS)
      << key;
  RegCloseKey(handle);
}

std::string shell_folder(int csidl) {
  char path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK) << csidl;
  return path;
}

// Points one of the shell's folders at a folder of the test while it lives:
// shortcuts are then made and removed there, not on the machine's own
// desktop, and the folder starts empty, so that a removal climbing too far
// would show.
class RedirectedShellFolder {
 public:
  RedirectedShellFolder(HKEY root, const char* name, const std::string& folder) : name_(name) {
    RegCreateKeyExA(root, kUserShellFolders, 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
    char value[MAX_PATH] = {};
    DWORD size = sizeof value - 1;
    had_value_ = RegQueryValueExA(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                  &size) == ERROR_SUCCESS;
    old_value_ = value;
    set(folder);
  }
  ~RedirectedShellFolder() {
    if (had_value_) set(old_value_);
    else RegDeleteValueA(key_, name_);
    RegCloseKey(key_);
  }
  RedirectedShellFolder(const RedirectedShellFolder&) = delete;
  RedirectedShellFolder& operator=(const RedirectedShellFolder&) = delete;

 private:
  static constexpr const char* kUserShellFolders =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

  void set(const std::string& folder) {
    RegSetValueExA(key_, name_, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   DWORD(folder.size() + 1));
  }

  const char* name_;
  HKEY key_ = nullptr;
  bool had_value_ = false;
  std::string old_value_;
};

// One line of the data file: the kind, the text, a line feed.
std::string record(char kind, const std::string& text) {
  std::string line(1, kind);
  line.append(text);
  line.push_back('\n');
  return line;
}

// The exit code of a process that the test did not start itself.
std::optional<DWORD> exit_code_of(DWORD process_id, int timeout_ms) {
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process_id);
  if (process == nullptr) return std::nullopt;
  std::optional<DWORD> code;
  if (WaitForSingleObject(process, DWORD(timeout_ms)) == WAIT_OBJECT_0) {
    DWORD value = 0;
    GetExitCodeProcess(process, &value);
    code = value;
  }
  CloseHandle(process);
  return code;
}

// The file a process runs, with its full path.
std::string image_of(DWORD process_id) {
  char path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) return "";
  if (!QueryFullProcessImageNameA(process, 0, path, &size)) path[0] = 0;
  CloseHandle(process);
  return path;
}

// What Windows deletes or renames when it next starts: pairs of a name
// behind "\\??\\" and a new name, empty for a deletion, each ending in a zero.
std::string pending_at_restart() {
  std::string value(1 << 16, '\0');
  DWORD size = DWORD(value.size());
  if (RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                   "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, value.data(),
                   &size) != ERROR_SUCCESS)
    size = 0;
  return value.substr(0, size);
}

std::string deletion_at_restart(const std::string& path) {
  return "\\??\\" + path + std::string(2, '\0');
}

// Wine takes its own build of a system DLL even where a program's folder
// holds one, where Windows has no other to take. While this lives, Wine
// does as Windows for the uninstaller's copy and uxtheme.dll, which its
// message boxes load by that bare name.
struct PlantedDllsPreferred {
  static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\lumeuinsx.exe\\DllOverrides";
  PlantedDllsPreferred() {
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "uxtheme", REG_SZ, "native,builtin",
                    sizeof "native,builtin");
  }
  ~PlantedDllsPreferred() { RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
};

// An installation as the installer leaves it: "lumeuins.exe", the data file,
// the recorded files, shortcut files in the Start menu's programs and on the
// desktop, the current user's and all users', and the registration key.
class Uninstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = lume_test::fresh_test_folder(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    folder_ = root_ + "Programs\\Hello App\\";
    temp_ = root_ + "my temp folder\\";
    title_ = "Lume Uninstaller Test " + std::to_string(GetCurrentProcessId());
    caption_ = "Uninstall " + title_;
    key_ = uninstall_key(title_);
    programs_ = root_ + "Shell\\Start Menu\\Programs";
    common_programs_ = root_ + "Shell\\All Users\\Start Menu\\Programs";
    desktop_ = root_ + "Shell\\Desktop";
    common_desktop_ = root_ + "Shell\\All Users\\Desktop";
    redirected_.emplace_back(
        std::make_unique<RedirectedShellFolder>(HKEY_CURRENT_USER, "Programs", programs_));
    redirected_.emplace_back(std::make_unique<RedirectedShellFolder>(
        HKEY_LOCAL_MACHINE, "Common Programs", common_programs_));
    redirected_.emplace_back(
        std::make_unique<RedirectedShellFolder>(HKEY_CURRENT_USER, "Desktop", desktop_));
    redirected_.emplace_back(std::make_unique<RedirectedShellFolder>(
        HKEY_LOCAL_MACHINE, "Common Desktop", common_desktop_));
    lay_out_installation();
    // The uninstaller asks the system, as this does.
    ASSERT_EQ(shell_folder(CSIDL_PROGRAMS), programs_);
    ASSERT_EQ(shell_folder(CSIDL_COMMON_PROGRAMS), common_programs_);
    ASSERT_EQ(shell_folder(CSIDL_DESKTOPDIRECTORY), desktop_);
    ASSERT_EQ(shell_folder(CSIDL_COMMON_DESKTOPDIRECTORY), common_desktop_);
  }

  void lay_out_installation() {
    lume_test::make_folders(folder_ + "doc\\en");
    lume_test::make_folders(temp_);
    lume_test::make_folders(programs_ + "\\" + title_);
    lume_test::make_folders(common_programs_ + "\\" + title_);
    lume_test::make_folders(desktop_);
    lume_test::make_folders(common_desktop_);
    ASSERT_TRUE(lume_test::copy_file(lume_test::windows_path(LUME_UNINSTALLER_EXE), installed()));

    recorded_ = {folder_ + "hello.exe", folder_ + "doc\\readme.txt", folder_ + "doc\\en\\guide.txt",
                 folder_ + "empty.txt"};
    std::string data = title_ + "\n";
    for (const std::string& path : recorded_) {
      ASSERT_TRUE(lume_test::write_file(path, path == recorded_.back() ? "" : "contents"));
      data += record('0', path);
    }
    // The group is named after the title, as it is by default; an empty
    // group leaves two separators in a row.
    group_shortcuts_ = {programs_ + "\\" + title_ + "\\Hello.lnk",
                        programs_ + "\\\\" + title_ + ".lnk",
                        common_programs_ + "\\" + title_ + "\\Hello.lnk"};
    desktop_shortcuts_ = {desktop_ + "\\" + title_ + ".lnk", common_desktop_ + "\\" + title_ + ".lnk"};
    for (const std::string& path : group_shortcuts_) {
      ASSERT_TRUE(lume_test::write_file(path, "link")) << path;
      data += record('1', path);
    }
    for (const std::string& path : desktop_shortcuts_) {
      ASSERT_TRUE(lume_test::write_file(path, "link")) << path;
      data += record('2', path);
    }
    create_key(key_);
    data += record('3', key_);
    data_ = data;
    ASSERT_TRUE(lume_test::write_file(folder_ + "lumeuins.dat", data_));
  }

  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
    lume_test::remove_tree(root_.substr(0, root_.size() - 1));
    redirected_.clear();
    if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
  }

  std::string installed() const { return folder_ + "lumeuins.exe"; }

  std::vector<std::string> shortcuts() const {
    std::vector<std::string> all = group_shortcuts_;
    all.insert(all.end(), desktop_shortcuts_.begin(), desktop_shortcuts_.end());
    return all;
  }

  // Runs removal mode as the launcher would: from a copy in the temporary
  // folder, with the installed path as its argument.
  ChildProcess run_removal() {
    std::string copy = temp_ + "lumeuinsx.exe";
    EXPECT_TRUE(lume_test::copy_file(installed(), copy));
    return ChildProcess::start(lume_test::quoted(copy) + " " + lume_test::quoted(installed()));
  }

  std::vector<std::string> environment_with_temp(const std::string& temp) {
    return lume_robot::environment_with({"TMP"}, {{"TEMP", temp}});
  }

  void expect_everything_recorded_is_gone() {
    for (const std::string& path : recorded_) EXPECT_FALSE(lume_test::file_exists(path)) << path;
    for (const std::string& path : shortcuts()) EXPECT_FALSE(lume_test::file_exists(path)) << path;
    // The emptied groups go; the shell's own folders stay, empty as they are.
    EXPECT_FALSE(lume_test::folder_exists(programs_ + "\\" + title_));
    EXPECT_FALSE(lume_test::folder_exists(common_programs_ + "\\" + title_));
    for (const std::string& path : {programs_, common_programs_, desktop_, common_desktop_})
      EXPECT_TRUE(lume_test::folder_exists(path)) << path;
    EXPECT_FALSE(key_exists(key_));
    EXPECT_FALSE(lume_test::file_exists(folder_ + "lumeuins.dat"));
  }

  void expect_nothing_changed() {
    for (const std::string& path : recorded_) EXPECT_TRUE(lume_test::file_exists(path)) << path;
    for (const std::string& path : shortcuts()) EXPECT_TRUE(lume_test::file_exists(path)) << path;
    EXPECT_TRUE(key_exists(key_));
    EXPECT_TRUE(lume_test::file_exists(installed()));
    EXPECT_EQ(lume_test::read_file(folder_ + "lumeuins.dat"), data_);
  }

  // Answers the confirmation from process_id with Yes and the completion
  // box with OK.
  void confirm_and_complete(DWORD process_id) {
    std::optional<SeenWindow> question =
        robot_.answer_message_box({caption_, "", process_id}, IDYES);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->message(), question_text());
    EXPECT_EQ(question->button_ids(), (std::vector<int>{IDYES, IDNO}));
    std::optional<SeenWindow> done =
        robot_.answer_message_box({caption_, "", process_id}, IDOK, 30000);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->message(), "Uninstall Complete.");
  }

  std::string question_text() const {
    return title_ + " will be uninstalled. Do you wish to continue?";
  }

  std::string root_, folder_, temp_, title_, caption_, key_, data_;
  std::string programs_, common_programs_, desktop_, common_desktop_;
  std::vector<std::string> recorded_, group_shortcuts_, desktop_shortcuts_;
  std::vector<std::unique_ptr<RedirectedShellFolder>> redirected_;
  GuiRobot robot_;
};

}  // namespace

// What another program of the user may have put into the temporary folder
// beforehand, a program under the copy's name, is neither run nor replaced.
// The temporary folder is TEMP, or TMP when TEMP is not set.
TEST_F(Uninstaller, LauncherRestartsFromACopyInANewFolderOfItsOwn) {
  const std::string temp = temp_.substr(0, temp_.size() - 1);
  const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
      {"TEMP", environment_with_temp(temp)},
      {"TMP alone", lume_robot::environment_with({"TEMP"}, {{"TMP", temp}})}};
  for (const auto& [what, environment] : cases) {
    SCOPED_TRACE(what);
    if (what != cases.front().first) lay_out_installation();
    ASSERT_TRUE(lume_test::write_file(temp_ + "lumeuinsx.exe", "planted"));
    ChildProcess launcher = ChildProcess::start(lume_test::quoted(installed()), &environment);
    ASSERT_TRUE(launcher.started());
    std::vector<SeenWindow> shown;
    EXPECT_EQ(robot_.watch_until_exit(launcher, &shown), 0u);
    EXPECT_TRUE(shown.empty()) << "the launcher showed a window";

    std::optional<SeenWindow> question = robot_.wait_for({caption_, "#32770"});
    ASSERT_TRUE(question);
    EXPECT_NE(question->process_id, launcher.id());
    DWORD copy = question->process_id;
    // "<temp>\lume<32 hexadecimal digits>\lumeuinsx.exe"
    std::string copy_path = image_of(copy);
    std::string folder = copy_path.substr(0, copy_path.rfind('\\'));
    EXPECT_EQ(copy_path.substr(folder.size()), "\\lumeuinsx.exe");
    EXPECT_EQ(folder.substr(0, temp_.size() + 4), temp_ + "lume") << copy_path;
    EXPECT_EQ(folder.size(), temp_.size() + 36) << copy_path;
    confirm_and_complete(copy);
    EXPECT_EQ(exit_code_of(copy, 10000), 0u);

    expect_everything_recorded_is_gone();
    EXPECT_FALSE(lume_test::file_exists(installed()));
    // The installation folder and its emptied parent went with the data file.
    EXPECT_FALSE(lume_test::folder_exists(folder_));
    EXPECT_FALSE(lume_test::folder_exists(root_ + "Programs"));
    EXPECT_EQ(lume_test::read_file(temp_ + "lumeuinsx.exe"), "planted");
    // The copy stays until Windows starts again, which deletes it, then its
    // folder.
    EXPECT_TRUE(lume_test::file_exists(copy_path));
    std::string pending = pending_at_restart();
    size_t copy_entry = pending.find(deletion_at_restart(copy_path));
    ASSERT_NE(copy_entry, std::string::npos) << copy_path;
    EXPECT_NE(pending.find(deletion_at_restart(folder), copy_entry), std::string::npos);
  }
}

// The routine every program of ours starts with, wired in: a copy run from
// the temporary folder, beside a DLL planted there, shows its question
// without loading it.
TEST_F(Uninstaller, TheCopyLoadsNoDllPlantedBesideIt) {
  ASSERT_TRUE(lume_test::copy_file(lume_test::windows_path(LUME_PLANTED_DLL), temp_ + "uxtheme.dll"));
  PlantedDllsPreferred preferred;
  ChildProcess removal = run_removal();
  ASSERT_TRUE(robot_.answer_message_box({caption_, "", removal.id()}, IDNO));
  EXPECT_EQ(removal.wait_exit(), 1u);
  EXPECT_FALSE(lume_test::file_exists(temp_ + "uxtheme.dll.loaded"));
}

TEST_F(Uninstaller, RemovalKeepsAFolderThatStillHoldsAUsersFile) {
  ASSERT_TRUE(lume_test::write_file(folder_ + "doc\\my notes.txt", "mine"));
  ChildProcess removal = run_removal();
  confirm_and_complete(removal.id());
  EXPECT_EQ(removal.wait_exit(), 0u);

  expect_everything_recorded_is_gone();
  EXPECT_FALSE(lume_test::folder_exists(folder_ + "doc\\en"));
  EXPECT_TRUE(lume_test::file_exists(folder_ + "doc\\my notes.txt"));
  EXPECT_FALSE(lume_test::file_exists(installed()));
}

TEST_F(Uninstaller, AnsweringNoChangesNothing) {
  ChildProcess removal = run_removal();
  std::optional<SeenWindow> question =
      robot_.answer_message_box({caption_, "", removal.id()}, IDNO);
  ASSERT_TRUE(question);
  EXPECT_EQ(question->message(), question_text());
  EXPECT_EQ(removal.wait_exit(), 1u);
  expect_nothing_changed();
}

TEST_F(Uninstaller, AMissingDataFileIsReportedWithExitCode2) {
  ASSERT_TRUE(DeleteFileA((folder_ + "lumeuins.dat").c_str()));
  ChildProcess removal = run_removal();
  std::optional<SeenWindow> box = robot_.answer_message_box({"Uninstall", "", removal.id()}, IDOK);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->message(), "Error: Cannot open uninstall data file.");
  EXPECT_EQ(box->button_ids(), std::vector<int>{IDOK});
  EXPECT_EQ(removal.wait_exit(), 2u);
  EXPECT_TRUE(lume_test::file_exists(installed()));
  EXPECT_TRUE(lume_test::file_exists(recorded_[0]));
}

// Without a usable temporary folder the launcher removes the installation
// itself: its own file cannot go while it runs, everything else does.
TEST_F(Uninstaller, WithoutAUsableTemporaryFolderTheLauncherRemovesInPlace) {
  struct Case {
    const char* what;
    std::vector<std::string> environment;
  };
  std::vector<Case> cases = {
      {"no TEMP and no TMP", lume_robot::environment_with({"TEMP", "TMP"})},
      {"an empty TEMP", environment_with_temp("")},
      {"a TEMP too long for a path", environment_with_temp("C:\\" + std::string(300, 't'))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (&c != &cases.front()) lay_out_installation();
    ChildProcess launcher = ChildProcess::start(lume_test::quoted(installed()), &c.environment);
    confirm_and_complete(launcher.id());
    EXPECT_EQ(launcher.wait_exit(30000), 0u);
    expect_everything_recorded_is_gone();
    EXPECT_TRUE(lume_test::file_exists(installed()));  // ten attempts, all refused
  }
}

TEST_F(Uninstaller, LeavesAloneWhatADataFileNamesOutsideTheInstallation) {
  std::vector<std::string> outside = {
      root_ + "precious.txt",
      root_ + "Programs\\other.txt",
      desktop_ + "\\" + title_ + " report.doc",
  };
  for (const std::string& path : outside) ASSERT_TRUE(lume_test::write_file(path, "keep"));
  std::string other_key = "Software\\Lume uninstaller test outside " +
                          std::to_string(GetCurrentProcessId());
  create_key(other_key);
  create_key(key_ + " 2");

  std::string hostile = data_ + record('0', outside[0]) + record('0', folder_ + "..\\other.txt") +
                        record('0', folder_ + "doc/../../other.txt") + record('1', outside[2]) +
                        record('2', outside[2]) + record('2', outside[0]) +
                        record('3', other_key) + record('3', uninstall_key("")) +
                        record('9', outside[0]);
  ASSERT_TRUE(lume_test::write_file(folder_ + "lumeuins.dat", hostile));
  ChildProcess removal = run_removal();
  confirm_and_complete(removal.id());
  EXPECT_EQ(removal.wait_exit(), 0u);

  for (const std::string& path : outside) EXPECT_TRUE(lume_test::file_exists(path)) << path;
  EXPECT_TRUE(key_exists(other_key));
  EXPECT_TRUE(key_exists(key_ + " 2"));
  EXPECT_TRUE(key_exists(lume_robot::installed_programs_key()));
  expect_everything_recorded_is_gone();  // the genuine records still went

  RegDeleteKeyA(HKEY_LOCAL_MACHINE, other_key.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (key_ + " 2").c_str());
}

// Whoever may write the data file must not reach another product's
// shortcuts or registration through it: a shortcut counts only in the shell
// folder its kind names, a key only when it is this installation's own.
TEST_F(Uninstaller, RemovesShortcutsAndTheKeyOnlyWhereTheInstallerMakesThem) {
  const std::string other = "Lume Other Product " + std::to_string(GetCurrentProcessId());
  std::vector<std::string> kept = {
      "C:\\victim\\keep.lnk",
      desktop_ + "\\" + other + ".lnk",
      programs_ + "\\" + other + "\\" + other + ".lnk",
      root_ + "Shell\\Start Menu\\Programs 2\\" + other + "\\" + other + ".lnk",
  };
  for (const std::string& path : kept) {
    lume_test::make_folders(path.substr(0, path.rfind('\\')));
    ASSERT_TRUE(lume_test::write_file(path, "link")) << path;
  }
  create_key(uninstall_key(other));

  std::string hostile = data_ + record('1', kept[0]) + record('2', kept[0]) +
                        record('1', kept[1]) + record('2', kept[2]) + record('1', kept[3]) +
                        record('3', uninstall_key(other)) +
                        record('3', uninstall_key(title_ + "\\..\\" + other));
  ASSERT_TRUE(lume_test::write_file(folder_ + "lumeuins.dat", hostile));
  ChildProcess removal = run_removal();
  confirm_and_complete(removal.id());
  EXPECT_EQ(removal.wait_exit(), 0u);

  for (const std::string& path : kept) EXPECT_TRUE(lume_test::file_exists(path)) << path;
  EXPECT_TRUE(key_exists(uninstall_key(other)));
  expect_everything_recorded_is_gone();

  DeleteFileA(kept[0].c_str());
  RemoveDirectoryA("C:\\victim");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstall_key(other).c_str());
}
