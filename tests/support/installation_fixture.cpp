#include "tests/support/installation_fixture.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <sstream>

#include "robot/registry.h"
#include "tests/support/random_bytes.h"
#include "tests/support/shell_links.h"
#include "tests/support/test_files.h"

namespace lume_test {

using namespace lume_robot;

namespace {

// Folders from the installation folder itself down to five levels, one
// of them named in code page 1252.
const char* const kFolders[] = {
    "",
    "bin\\",
    "docs\\",
    "docs\\en\\",
    "docs\\en\\guide\\",
    "docs\\de\\",
    "data\\",
    "data\\set 1\\",
    "data\\set 1\\part a\\",
    "data\\set 1\\part a\\deep\\",
    "data\\set 1\\part a\\deep\\deeper\\",
    "M\xFCnchen\\Stra\xDF" "e\\",
};
const char* const kExtensions[] = {".txt", ".dat", ".bin", ".html", ".cfg"};
const char* const kWords[] = {"lume ", "setup ", "file ", "folder ", "the ", "payload ",
                              "window\r\n", "of ", "and ", "shortcut "};

// FILETIME ticks somewhere in 2000 to 2019, to the tick.
uint64_t some_time(Random& random) {
  const uint64_t year_2000 = 125911584000000000ull;
  return year_2000 + uint64_t(random.below(631152000)) * 10000000ull + random.below(10000000);
}

std::string some_text(Random& random, size_t size) {
  std::string text;
  while (text.size() < size) text += kWords[random.below(10)];
  text.resize(size);
  return text;
}

uint64_t ticks(const FILETIME& time) {
  return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void collect(const std::string& folder, const std::string& relative, std::set<std::string>& out) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + relative + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out.insert(relative + name + "\\");
      collect(folder, relative + name + "\\", out);
    } else {
      out.insert(relative + name);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// Where a shortcut row's field divides: target and arguments, split at
// the blank of its first ".exe " in any letter case.
std::pair<std::string, std::optional<std::string>> split_field(const std::string& field) {
  std::string lower = field;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  size_t mark = lower.find(".exe ");
  if (mark == std::string::npos) return {field, std::nullopt};
  return {field.substr(0, mark + 4), field.substr(mark + 5)};
}

// Ends every process whose program lies below folder: a post-install
// program still showing its box after a failed case would otherwise hold
// the test's output open.
void end_programs_below(const std::string& folder) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                                 entry.th32ProcessID);
    if (process == nullptr) continue;
    char image[MAX_PATH] = {};
    DWORD size = sizeof image;
    if (QueryFullProcessImageNameA(process, 0, image, &size) &&
        _strnicmp(image, folder.c_str(), folder.size()) == 0) {
      TerminateProcess(process, 999);
      WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
  }
  CloseHandle(snapshot);
}

std::string without_backslash(const std::string& folder) {
  return folder.substr(0, folder.size() - 1);
}

// What a user sees of the background in one column of pixels: 63 bands
// from cyan at the top, each one step darker than the one above (green and
// blue 4 lower, red 0), to (0, 7, 7) at the bottom, the darkest of the 64
// colours (0, 3, 3) never shown; the bands share the height evenly, none
// more than a row higher than another. "" when it is so, else what is not.
std::string gradient_trouble(const ScreenImage& image, int x) {
  struct Band {
    COLORREF colour;
    int rows;
  };
  std::vector<Band> bands;
  for (int y = 0; y < image.height; ++y) {
    if (!bands.empty() && image.at(x, y) == bands.back().colour) {
      ++bands.back().rows;
    } else {
      bands.push_back({image.at(x, y), 1});
    }
  }
  char text[160];
  auto trouble = [&](const char* what, size_t band) {
    std::snprintf(text, sizeof text, "column %d, band %zu of %zu (%06lX, %d rows): %s", x, band,
                  bands.size(), static_cast<unsigned long>(bands[band].colour),
                  bands[band].rows, what);
    return std::string(text);
  };
  if (bands.front().colour != RGB(0, 255, 255)) return trouble("the top is not cyan", 0);
  for (size_t i = 1; i < bands.size(); ++i) {
    COLORREF above = bands[i - 1].colour, here = bands[i].colour;
    if (GetRValue(here) != 0 || GetGValue(here) != GetBValue(here) ||
        GetGValue(here) + 4 != GetGValue(above))
      return trouble("not one step darker than the band above", i);
  }
  if (bands.back().colour != RGB(0, 7, 7))
    return trouble("the bottom is not (0, 7, 7)", bands.size() - 1);
  auto [lowest, highest] = std::minmax_element(
      bands.begin(), bands.end(), [](const Band& a, const Band& b) { return a.rows < b.rows; });
  if (highest->rows > lowest->rows + 1)
    return trouble("more than a row higher than the lowest band", size_t(highest - bands.begin()));
  return "";
}

}  // namespace

std::vector<PayloadFile> generated_product(unsigned count, uint32_t seed, size_t bulk) {
  Random random(seed);
  std::vector<PayloadFile> files;
  const unsigned folders = sizeof kFolders / sizeof kFolders[0];
  for (unsigned i = 0; i < count; ++i) {
    std::string name = std::string(kFolders[i % folders]) + "file " + std::to_string(i) +
                       kExtensions[random.below(5)];
    std::string contents;
    if (i % 17 == 5) {
      // empty
    } else if (i % 3 == 0) {
      contents = some_text(random, random.below(i % 31 == 0 ? 200000 : 12000));
    } else {
      contents = random.bytes(random.below(4000));
    }
    uint64_t created = some_time(random), accessed = some_time(random);
    files.emplace_back(name, contents, created, accessed, some_time(random));
    // Names in code page 1252 among the others: "Café crème © ½" and
    // "Æsop à la carte" in the folder "München\Straße".
    if (i == count / 3) files.emplace_back("docs\\Caf\xE9 cr\xE8me \xA9 \xBD.txt", "Bon app\xE9tit");
    if (i == count / 2) files.emplace_back("M\xFCnchen\\\xC6sop \xE0 la carte.txt", "");
  }
  const size_t piece = 512 * 1024;
  for (size_t done = 0, n = 0; done < bulk; done += piece, ++n) {
    files.emplace_back("data\\bulk\\part " + std::to_string(n) + ".bin",
                       random.bytes(std::min(piece, bulk - done)), some_time(random),
                       some_time(random), some_time(random));
  }
  files.emplace_back("zz last and empty.txt", "");
  return files;
}

std::string shipped_stub() { return read_file(windows_path(LUME_STUB_EXE)); }

std::string post_install_helper() {
  return read_file(windows_path(LUME_POST_INSTALL_HELPER_EXE));
}

std::set<std::string> tree_listing(const std::string& folder) {
  std::set<std::string> out;
  collect(folder.back() == '\\' ? folder : folder + "\\", "", out);
  return out;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void InstallationTest::SetUp() {
  static unsigned cases = 0;
  tag_ = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++cases);
  root_ = fresh_test_folder("e2e " + std::to_string(cases));
  folder_ = root_ + "Product Folder\\";
  installer_ = root_ + "setup.exe";
  settings_ = {};
  settings_.title = "Lume E2E " + tag_;
  settings_.folder_name = "Lume E2E Product";
  settings_.group = "Lume E2E " + tag_ + " Group";
  key_ = kUninstallKeyPrefix + settings_.title;
  // An uninstaller that emptied one of these also removed it.
  programs_ = special_folder(CSIDL_PROGRAMS);
  desktop_ = special_folder(CSIDL_DESKTOP);
  ASSERT_FALSE(programs_.empty());
  ASSERT_FALSE(desktop_.empty());
  // The installer passes its environment on to the post-install program.
  SetEnvironmentVariableA("LUME_POST_INSTALL_LOG", post_install_log().c_str());
}

void InstallationTest::TearDown() {
  end_programs_below(root_);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
  for (auto key = extra_keys_.rbegin(); key != extra_keys_.rend(); ++key)
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key->c_str());
  for (const ShortcutSetting& row : settings_.start_menu)
    if (!row.link_name.empty() && !programs_.empty()) DeleteFileA(start_menu_link(row).c_str());
  if (!settings_.group.empty() && !programs_.empty())
    remove_tree(programs_ + "\\" + settings_.group);
  for (const ShortcutSetting& row : settings_.desktop)
    if (!row.link_name.empty() && !desktop_.empty()) DeleteFileA(desktop_link(row).c_str());
  remove_tree(without_backslash(root_));
  if (HasFailure()) std::printf("robot log:\n%s", robot_.log().c_str());
}

std::vector<unsigned char> InstallationTest::configured_stub() {
  std::string stub = shipped_stub();
  EXPECT_FALSE(stub.empty()) << LUME_STUB_EXE;
  std::vector<unsigned char> image(stub.begin(), stub.end());
  EXPECT_TRUE(configure_stub(image, settings_));
  key_ = kUninstallKeyPrefix + settings_.title;
  return image;
}

std::vector<unsigned char> InstallationTest::installer_image(const std::vector<PayloadFile>& files,
                                                             int level) {
  std::vector<unsigned char> image = configured_stub();
  std::vector<unsigned char> payload = payload_of(files, compressed(concatenated(files), level));
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

void InstallationTest::write_installer(const std::vector<unsigned char>& image) {
  ASSERT_TRUE(write_file(installer_, image));
}

InstallRun InstallationTest::install(InstallChoices choices) {
  if (!choices.typed_folder && !choices.cancel_folder) choices.typed_folder = without_backslash(folder_);
  return run_installer(robot_, lume_test::quoted(installer_), choices);
}

void InstallationTest::expect_files(const std::vector<PayloadFile>& files,
                                    const std::set<std::string>& accessed) {
  // Every time first: reading a file's contents may move its last access.
  std::vector<std::string> wrong;
  std::vector<WIN32_FILE_ATTRIBUTE_DATA> data(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    if (!GetFileAttributesExA((folder_ + files[i].name).c_str(), GetFileExInfoStandard, &data[i]))
      wrong.push_back(files[i].name + ": missing");
  }
  for (size_t i = 0; i < files.size() && wrong.empty(); ++i) {
    const PayloadFile& f = files[i];
    if (ticks(data[i].ftLastWriteTime) != f.last_write)
      wrong.push_back(f.name + ": last write " + std::to_string(ticks(data[i].ftLastWriteTime)));
    if (!accessed.count(f.name) && ticks(data[i].ftLastAccessTime) != f.last_access)
      wrong.push_back(f.name + ": last access " + std::to_string(ticks(data[i].ftLastAccessTime)));
    std::string bytes = read_file(folder_ + f.name);
    if (bytes != f.contents)
      wrong.push_back(f.name + ": " + std::to_string(bytes.size()) + " bytes, not the " +
                      std::to_string(f.contents.size()) + " of the payload");
  }
  if (wrong.size() > 10) wrong.resize(10);
  EXPECT_EQ(wrong, std::vector<std::string>{}) << "of " << files.size() << " files";
}

void InstallationTest::expect_complete(const InstallRun& run, const std::vector<PayloadFile>& files,
                                       bool with_desktop, const std::set<std::string>& accessed) {
  EXPECT_EQ(run.exit_code, std::optional<DWORD>(0));
  ASSERT_FALSE(run.boxes.empty());
  EXPECT_EQ(run.boxes.back().message(), "Installation Complete.");
  EXPECT_EQ(run.boxes.back().caption, settings_.title + " Setup");
  for (const std::string& message : run.messages()) EXPECT_NE(message.rfind("Error: ", 0), 0u);

  // The desktop's own window reads the target of every shortcut on it, to
  // draw its icon.
  std::set<std::string> read_by_others = accessed;
  if (with_desktop)
    for (const ShortcutSetting& row : rows_in_use(settings_.desktop))
      read_by_others.insert(split_field(row.file_field).first);
  expect_files(files, read_by_others);
  std::set<std::string> want = {"lumeuins.exe", "lumeuins.dat"};
  for (const PayloadFile& f : files) {
    want.insert(f.name);
    for (size_t at = f.name.find('\\'); at != std::string::npos; at = f.name.find('\\', at + 1))
      want.insert(f.name.substr(0, at + 1));
  }
  EXPECT_EQ(tree_listing(folder_), want) << "nothing but the payload and the uninstaller";
  EXPECT_TRUE(read_file(folder_ + "lumeuins.exe") ==
              read_file(windows_path(LUME_UNINSTALLER_EXE)))
      << "lumeuins.exe differs from the uninstaller that was built";

  // The title, the files in payload order, the Start-menu shortcuts, the
  // desktop shortcuts, the registration last; line feeds only.
  std::string text = read_file(folder_ + "lumeuins.dat");
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
  std::vector<std::string> want_lines = {settings_.title};
  for (const PayloadFile& f : files) want_lines.push_back(file_record(f.name));
  for (const ShortcutSetting& row : rows_in_use(settings_.start_menu))
    want_lines.push_back(record('1', start_menu_link(row)));
  if (with_desktop)
    for (const ShortcutSetting& row : rows_in_use(settings_.desktop))
      want_lines.push_back(record('2', desktop_link(row)));
  want_lines.push_back(record('3', key_));
  EXPECT_EQ(lines_of(text), want_lines);

  EXPECT_EQ(registry_text(key_, "DisplayName"), settings_.title);
  EXPECT_EQ(registry_text(key_, "UninstallString"), lume_test::quoted(folder_ + "lumeuins.exe"));
  expect_shortcuts(with_desktop);
}

void InstallationTest::expect_shortcuts(bool with_desktop) {
  auto expect_link = [&](const std::string& path, const ShortcutSetting& row) {
    auto [target, arguments] = split_field(row.file_field);
    std::optional<Link> link = read_link(path);
    ASSERT_TRUE(link) << path;
    EXPECT_EQ(link->target, folder_ + target) << path;
    EXPECT_EQ(link->arguments, arguments.value_or("")) << path;
    EXPECT_EQ(link->icon, folder_ + target) << path;  // the target's first icon
    EXPECT_EQ(link->icon_index, 0) << path;
  };
  for (const ShortcutSetting& row : rows_in_use(settings_.start_menu))
    expect_link(start_menu_link(row), row);
  for (const ShortcutSetting& row : rows_in_use(settings_.desktop)) {
    if (with_desktop) {
      expect_link(desktop_link(row), row);
    } else {
      EXPECT_FALSE(file_exists(desktop_link(row))) << desktop_link(row);
    }
  }
}

void InstallationTest::expect_gradient(const SeenWindow& dialog, const std::string& screenshot_name) {
  std::optional<SeenWindow> background = robot_.find({"", kBackgroundClass, dialog.process_id});
  ASSERT_TRUE(background) << "no background window behind " << dialog.describe();
  EXPECT_TRUE(IsZoomed(background->handle)) << "the background is not maximised";
  EXPECT_EQ(background->caption, settings_.title + " Setup");
  RECT client;
  ASSERT_TRUE(GetClientRect(background->handle, &client));
  POINT origin = {0, 0};
  ClientToScreen(background->handle, &origin);
  const int width = client.right, height = client.bottom;
  ASSERT_GT(height, 2 * 63) << "too low to show every band";
  // Columns at both edges of the background, clear of the centred dialog.
  RECT over;
  ASSERT_TRUE(GetWindowRect(dialog.handle, &over));
  const int columns[] = {2, width - 3};
  ASSERT_GT(over.left, origin.x + columns[0]);
  ASSERT_LT(over.right, origin.x + columns[1]);

  std::string trouble = "no picture";
  // The background may still be repainting round a window that just opened.
  for (int attempt = 0; attempt < 20 && !trouble.empty(); ++attempt, Sleep(100)) {
    std::optional<ScreenImage> image =
        capture_screen({origin.x, origin.y, origin.x + width, origin.y + height});
    trouble = image ? gradient_trouble(*image, columns[0]) : "no picture";
    if (trouble.empty()) trouble = gradient_trouble(*image, columns[1]);
  }
  EXPECT_EQ(trouble, "");

  std::string shots = windows_path(LUME_SCREENSHOT_DIR);
  make_folders(shots);
  EXPECT_TRUE(save_screenshot(shots + "\\" + screenshot_name));
}

void InstallationTest::expect_prefix_only(const std::vector<PayloadFile>& files, size_t count) {
  std::vector<std::string> want = {settings_.title};
  std::set<std::string> listing = {"lumeuins.exe", "lumeuins.dat"};
  for (size_t i = 0; i < count; ++i) {
    want.push_back(file_record(files[i].name));
    listing.insert(files[i].name);
  }
  EXPECT_EQ(data_lines(), want);
  std::set<std::string> files_there;
  for (const std::string& entry : tree_listing(folder_))
    if (entry.back() != '\\') files_there.insert(entry);
  EXPECT_EQ(files_there, listing) << "the recorded files, and no file behind them";
  EXPECT_FALSE(key_exists(key_));
  if (!settings_.group.empty()) {
    EXPECT_FALSE(folder_exists(programs_ + "\\" + settings_.group)) << "a Start-menu group";
  }
  for (const ShortcutSetting& row : rows_in_use(settings_.start_menu))
    EXPECT_FALSE(file_exists(start_menu_link(row))) << start_menu_link(row);
  for (const ShortcutSetting& row : rows_in_use(settings_.desktop))
    EXPECT_FALSE(file_exists(desktop_link(row))) << desktop_link(row);
  EXPECT_FALSE(file_exists(post_install_log())) << "the post-install program ran";
}

void InstallationTest::uninstall() {
  std::vector<std::string> lines = data_lines();
  ASSERT_FALSE(lines.empty()) << "no uninstall data file";
  const std::string title = lines.front();
  std::string command = key_exists(key_) ? registry_text(key_, "UninstallString")
                                         : lume_test::quoted(folder_ + "lumeuins.exe");
  ChildProcess launcher = ChildProcess::start(command);
  ASSERT_TRUE(launcher.started()) << command;
  EXPECT_EQ(launcher.wait_exit(), std::optional<DWORD>(0));
  std::optional<SeenWindow> confirm =
      robot_.answer_message_box({"Uninstall " + title, "#32770", 0}, IDYES, 30000);
  ASSERT_TRUE(confirm);
  EXPECT_EQ(confirm->message(), title + " will be uninstalled. Do you wish to continue?");
  std::optional<SeenWindow> complete =
      robot_.answer_message_box({"Uninstall " + title, "#32770", 0}, IDOK, 60000);
  ASSERT_TRUE(complete);
  EXPECT_EQ(complete->message(), "Uninstall Complete.");
}

void InstallationTest::expect_removed(const std::vector<std::string>& records,
                                      const std::set<std::string>& kept) {
  for (size_t i = 1; i < records.size(); ++i) {
    const std::string& line = records[i];
    if (line.empty()) continue;
    if (line[0] == '3') {
      EXPECT_FALSE(key_exists(line.substr(1))) << line;
    } else {
      EXPECT_FALSE(file_exists(line.substr(1))) << line;
    }
  }
  EXPECT_FALSE(key_exists(key_));
  EXPECT_EQ(tree_listing(folder_), kept);
  if (kept.empty()) {
    EXPECT_FALSE(folder_exists(folder_)) << "the installation folder stays";
  }
  if (!settings_.group.empty()) {
    EXPECT_FALSE(folder_exists(programs_ + "\\" + settings_.group)) << "the group folder stays";
  }
}

std::vector<std::string> InstallationTest::data_lines() const {
  return lines_of(read_file(folder_ + "lumeuins.dat"));
}

std::string InstallationTest::start_menu_link(const ShortcutSetting& row) const {
  return programs_ + "\\" + settings_.group + "\\" + row.link_name;
}

std::string InstallationTest::desktop_link(const ShortcutSetting& row) const {
  return desktop_ + "\\" + row.link_name;
}

std::vector<ShortcutSetting> InstallationTest::rows_in_use(
    const std::vector<ShortcutSetting>& table) {
  std::vector<ShortcutSetting> rows;
  for (const ShortcutSetting& row : table) {
    if (row.link_name.empty()) break;
    rows.push_back(row);
  }
  return rows;
}

std::string InstallationTest::post_install_log() const { return root_ + "post-install.log"; }

}  // namespace lume_test
