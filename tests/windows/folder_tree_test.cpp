// The folder tree of the directory dialog, browsed as a user does: which
// drives and folders it shows, where it opens, what a selection writes into
// the edit box, and how it reads the disk as items open and close.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "robot/gui_robot.h"
#include "tests/support/test_files.h"
#include "tests/windows/dialog_probe_client.h"

using lume_robot::RemoteTree;
using lume_robot::TreeItem;
using Texts = std::vector<std::string>;

namespace {

constexpr int kFolderImage = 3;
constexpr int kSelectedFolderImage = 4;

Texts texts_of(const std::vector<TreeItem>& items) {
  Texts texts;
  for (const TreeItem& item : items) texts.push_back(item.text);
  return texts;
}

// A path as the tree's texts: "C:\\Data\\" gives "C:", "Data".
Texts components(const std::string& path) {
  Texts parts;
  size_t start = 0;
  for (size_t at = path.find('\\'); start < path.size(); at = path.find('\\', start)) {
    if (at == std::string::npos) at = path.size();
    if (at > start) parts.push_back(path.substr(start, at - start));
    start = at + 1;
  }
  return parts;
}

Texts operator+(Texts parts, const Texts& more) {
  parts.insert(parts.end(), more.begin(), more.end());
  return parts;
}

std::string without_backslash(const std::string& folder) {
  return folder.substr(0, folder.size() - 1);
}

// A folder whose path is too long for the 8-bit calls, made and removed
// through the wide ones.
struct LongFolder {
  explicit LongFolder(const std::string& path) : wide(L"\\\\?\\") {
    for (char c : path) wide.push_back(wchar_t(static_cast<unsigned char>(c)));
    made = CreateDirectoryW(wide.c_str(), nullptr) != 0;
  }
  ~LongFolder() { RemoveDirectoryW(wide.c_str()); }
  std::wstring wide;
  bool made;
};

class FolderTree : public lume_test::FolderDialogTest {
 protected:
  // root_ with Data (Empty, Tools with Deep), Hidden (Inner), Plain and a
  // file; the dialog started there.
  void open_at_sample_folders(const std::string& start) {
    lume_test::make_folders(root_ + "Data\\Tools\\Deep");
    lume_test::make_folders(root_ + "Data\\Empty");
    lume_test::make_folders(root_ + "Hidden\\Inner");
    lume_test::make_folders(root_ + "Plain");
    SetFileAttributesA((root_ + "Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(lume_test::write_file(root_ + "file.txt", std::string("not a folder")));
    set_start_folder(start);
    ASSERT_TRUE(open_dialog());
  }

  void cancel() {
    robot_.press(dialog(), lume_test::kDirCancelId);
    EXPECT_EQ(result(), 0);
  }
};

TEST_F(FolderTree, ListsEveryFixedAndNetworkDriveFromCAndNothingElse) {
  ASSERT_TRUE(open_dialog());
  RemoteTree tree(tree_window());
  ASSERT_TRUE(tree.usable());
  Texts expected;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    UINT type = GetDriveTypeA((std::string(1, letter) + ":\\").c_str());
    if (type != DRIVE_NO_ROOT_DIR) std::printf("drive %c: has type %u\n", letter, type);
    if (letter >= 'C' && (type == DRIVE_FIXED || type == DRIVE_REMOTE))
      expected.push_back(std::string(1, letter) + ":");
  }
  std::vector<TreeItem> drives = tree.roots();
  EXPECT_EQ(texts_of(drives), expected);
  for (const TreeItem& drive : drives) {
    int image = GetDriveTypeA((drive.text + "\\").c_str()) == DRIVE_REMOTE ? 1 : 0;
    EXPECT_EQ(drive.image, image) << drive.text;
    EXPECT_EQ(drive.selected_image, image) << drive.text;
  }
  cancel();
}

TEST_F(FolderTree, OpensAtTheStartFolderAndReadsOneLevelAhead) {
  open_at_sample_folders(without_backslash(root_));
  RemoteTree tree(tree_window());
  std::optional<TreeItem> start = tree.selection();
  ASSERT_TRUE(start);
  EXPECT_EQ(tree.path_of(start->handle), components(root_));
  EXPECT_TRUE(start->expanded());
  // The proposal replaces what the tree wrote into the edit box on its way.
  EXPECT_EQ(edit_text(), root_ + "Tool");

  // Hidden folders are listed, files are not; every folder shows an expand
  // button exactly when it has subfolders, and nothing deeper is read yet.
  std::vector<TreeItem> level = tree.children(start->handle);
  ASSERT_EQ(texts_of(level), (Texts{"Data", "Hidden", "Plain"}));
  EXPECT_EQ(texts_of(tree.children(level[0].handle)), (Texts{"Empty", "Tools"}));
  EXPECT_EQ(texts_of(tree.children(level[1].handle)), Texts{"Inner"});
  EXPECT_TRUE(tree.children(level[2].handle).empty());
  std::optional<TreeItem> tools = tree.find(components(root_) + Texts{"Data", "Tools"});
  ASSERT_TRUE(tools);
  EXPECT_TRUE(tree.children(tools->handle).empty());
  EXPECT_EQ(level[0].image, kFolderImage);
  EXPECT_EQ(level[0].selected_image, kSelectedFolderImage);
  cancel();
}

TEST_F(FolderTree, SelectingAnItemWritesItsPathWithABackslash) {
  open_at_sample_folders(without_backslash(root_));
  RemoteTree tree(tree_window());
  std::optional<TreeItem> drive = tree.find({"C:"});
  ASSERT_TRUE(drive);
  ASSERT_TRUE(tree.select(drive->handle));
  EXPECT_EQ(edit_text(), "C:\\");

  std::optional<TreeItem> tools = tree.find(components(root_) + Texts{"Data", "Tools"});
  ASSERT_TRUE(tools);
  ASSERT_TRUE(tree.select(tools->handle));
  EXPECT_EQ(edit_text(), root_ + "Data\\Tools\\");
  EXPECT_TRUE(robot_.control_enabled(dialog_, lume_test::kDirOkId));
  // OK installs straight into the picked folder.
  robot_.press(dialog(), lume_test::kDirOkId);
  EXPECT_EQ(result(), 1);
  EXPECT_EQ(handed_back(), root_ + "Data\\Tools\\");
}

TEST_F(FolderTree, ClosingAndOpeningAgainReadsTheLevelBelowAfresh) {
  open_at_sample_folders(without_backslash(root_));
  RemoteTree tree(tree_window());
  Texts data = components(root_) + Texts{"Data"};
  std::optional<TreeItem> data_item = tree.find(data);
  ASSERT_TRUE(data_item);
  ASSERT_TRUE(tree.expand(data_item->handle));
  std::optional<TreeItem> tools = tree.find(data + Texts{"Tools"});
  ASSERT_TRUE(tools);
  EXPECT_EQ(texts_of(tree.children(tools->handle)), Texts{"Deep"});

  lume_test::make_folders(root_ + "Data\\Tools\\New");
  lume_test::make_folders(root_ + "Data\\Later");
  ASSERT_TRUE(tree.collapse(data_item->handle));
  EXPECT_TRUE(tree.children(tools->handle).empty());
  ASSERT_TRUE(tree.expand(data_item->handle));
  EXPECT_EQ(texts_of(tree.children(tools->handle)), (Texts{"Deep", "New"}));
  // The opened item's own children stay as they were first listed.
  EXPECT_EQ(texts_of(tree.children(data_item->handle)), (Texts{"Empty", "Tools"}));
  cancel();
}

TEST_F(FolderTree, OpensAlongThePathAsWrittenAndStopsWhereANameIsMissing) {
  std::string lower = root_;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  struct Case {
    std::string start;
    Texts selected;  // empty: the first drive
    bool expanded;
  };
  Texts data = components(root_) + Texts{"Data"};
  std::vector<Case> cases = {
      {lower + "data\\tools", data + Texts{"Tools"}, true},
      {root_ + "Data\\Tools\\", data + Texts{"Tools"}, true},
      {root_ + "Data\\Missing", data + Texts{"Empty"}, false},
      {"\\\\server\\share\\folder", {}, false},
  };
  bool first = true;
  for (const Case& each : cases) {
    SCOPED_TRACE(each.start);
    if (first) {
      open_at_sample_folders(each.start);
      first = false;
    } else {
      set_start_folder(each.start);
      ASSERT_TRUE(open_dialog());
    }
    RemoteTree tree(tree_window());
    std::optional<TreeItem> selected = tree.selection();
    ASSERT_TRUE(selected);
    Texts want = each.selected.empty() ? Texts{tree.roots().front().text} : each.selected;
    EXPECT_EQ(tree.path_of(selected->handle), want);
    EXPECT_EQ(selected->expanded(), each.expanded);
    if (each.expanded) {
      EXPECT_EQ(texts_of(tree.children(selected->handle)), Texts{"Deep"});
    }
    cancel();
  }
}

TEST_F(FolderTree, LeavesOutFoldersWhosePathWouldNotFit) {
  // Below a deep folder: names that bring a child's path, with its final
  // backslash, to 259 characters (the most a path holds) and to 260, one
  // of 255 characters, and one that is the start of the long one.
  std::string deep = root_ + "deep";
  size_t room = 259 - deep.size() - 2;
  std::string fits(room, 'f'), too_long(room + 1, 'g'), longest(255, 'h'), start(12, 'h');
  lume_test::make_folders(deep + "\\" + start);
  lume_test::make_folders(deep + "\\" + fits);
  LongFolder made_too_long(deep + "\\" + too_long);
  LongFolder made_longest(deep + "\\" + longest);
  ASSERT_TRUE(made_too_long.made && made_longest.made);
  set_start_folder(deep);
  ASSERT_TRUE(open_dialog());

  RemoteTree tree(tree_window());
  std::optional<TreeItem> folder = tree.selection();
  ASSERT_TRUE(folder);
  std::vector<TreeItem> listed = tree.children(folder->handle);
  ASSERT_EQ(texts_of(listed), (Texts{fits, start}));
  ASSERT_TRUE(tree.select(listed[0].handle));
  EXPECT_EQ(edit_text(), deep + "\\" + fits + "\\");
  EXPECT_EQ(edit_text().size(), 259u);
  cancel();
}

TEST_F(FolderTree, ShowsTheBuildTreeTwoLevelsDown) {
  std::string build = lume_test::windows_path(LUME_BUILD_TREE);
  set_start_folder(build);
  ASSERT_TRUE(open_dialog());
  RemoteTree tree(tree_window());
  std::optional<TreeItem> start = tree.selection();
  ASSERT_TRUE(start);
  EXPECT_EQ(tree.path_of(start->handle), components(build));
  Texts shown = texts_of(tree.children(start->handle));
  for (const char* folder : {"installer", "tests", "uninstaller"}) {
    EXPECT_NE(std::find(shown.begin(), shown.end(), folder), shown.end()) << folder;
  }
  std::optional<TreeItem> tests = tree.find(components(build) + Texts{"tests"});
  ASSERT_TRUE(tests);
  ASSERT_TRUE(tree.expand(tests->handle));
  std::optional<TreeItem> windows = tree.find(components(build) + Texts{"tests", "windows"});
  ASSERT_TRUE(windows);
  EXPECT_FALSE(tree.children(windows->handle).empty());
  EXPECT_TRUE(lume_robot::save_screenshot(lume_test::screenshot_path("folder_tree.png"), dialog_));
  cancel();
}

}  // namespace
