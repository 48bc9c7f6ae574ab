#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "tests/host/lume_test_files.h"
#include "tools/lume/base/error.h"
#include "tools/lume/project/source_tree.h"

using namespace lume;
namespace fs = std::filesystem;
using lume_test::write_file;

namespace {

std::vector<std::string> names(const SourceTree& tree) {
  std::vector<std::string> out;
  for (const SourceFile& f : tree.files) out.push_back(f.relative);
  return out;
}

std::string refusal(const fs::path& root) {
  return lume_test::error_text([&] { walk_source(root, ExcludePatterns({})); });
}

}  // namespace

TEST(SourceTree, WalksInByteOrderAndLeavesOutWhatIsExcluded) {
  lume_test::ScratchFolder folder;
  for (const char* name : {"b.txt", "a/z.txt", "a/b/c.txt", "B.txt", "a.txt", "a/b.pdb", "skip/x"})
    write_file(folder / name, name);
  SourceTree tree = walk_source(folder.path(), ExcludePatterns({"*.pdb", "/skip"}));
  EXPECT_EQ(names(tree),
            (std::vector<std::string>{"B.txt", "a/b/c.txt", "a/z.txt", "a.txt", "b.txt"}));
  EXPECT_EQ(tree.files[1].size, 9u);
  EXPECT_EQ(tree.files[1].path, folder / "a/b/c.txt");
  EXPECT_TRUE(tree.empty_folders.empty());  // an excluded folder is not an empty one
}

TEST(SourceTree, TakesTheThreeTimes) {
  lume_test::ScratchFolder folder;
  write_file(folder / "f", "x");
  lume_test::set_times(folder / "f", 1200000000, 1100000000);
  FileTimes times = walk_source(folder.path(), ExcludePatterns({})).files[0].times;
  EXPECT_EQ(times.last_access, filetime_from_unix({1200000000, 0}));
  EXPECT_EQ(times.last_write, filetime_from_unix({1100000000, 0}));
  // The birth time where the file system keeps one (just now), else the last write.
  uint64_t an_hour_ago = filetime_from_unix({int64_t(std::time(nullptr)) - 3600, 0});
  EXPECT_TRUE(times.creation == times.last_write || times.creation > an_hour_ago);
}

TEST(SourceTree, FollowsLinksToFilesInsideTheSourceFolderOnly) {
  lume_test::ScratchFolder folder;
  write_file(folder / "outside/data.txt", "data");
  write_file(folder / "src/a.txt", "a");
  write_file(folder / "src/sub/b.txt", "bb");
  fs::create_symlink("sub/b.txt", folder / "src/link.txt");
  SourceTree tree = walk_source(folder / "src", ExcludePatterns({}));
  EXPECT_EQ(names(tree), (std::vector<std::string>{"a.txt", "link.txt", "sub/b.txt"}));
  EXPECT_EQ(tree.files[1].size, 2u);
  EXPECT_EQ(tree.files[1].path, fs::canonical(folder / "src/sub/b.txt"));

  // Also when the way out leads back in through a link of the source itself.
  fs::create_directory_symlink(folder / "src", folder / "src-link");
  fs::create_symlink(folder / "src-link/a.txt", folder / "src/sub/back.txt");
  EXPECT_EQ(walk_source(folder / "src-link", ExcludePatterns({})).files.size(), 4u);
  fs::create_symlink("../../outside/data.txt", folder / "src/sub/out.txt");
  EXPECT_EQ(refusal(folder / "src"), (folder / "src/sub/out.txt").string() +
                                         ": a symbolic link to " +
                                         (folder / "outside/data.txt").string() +
                                         ", outside the source folder; copy the file in instead");
  fs::remove(folder / "src/sub/out.txt");

  fs::create_directory_symlink(folder / "outside", folder / "src/folder-link");
  EXPECT_NE(refusal(folder / "src").find("folder-link: a symbolic link to a folder"),
            std::string::npos);
  fs::remove(folder / "src/folder-link");
  fs::create_symlink(folder / "nowhere", folder / "src/dangling");
  EXPECT_NE(refusal(folder / "src").find("dangling: a symbolic link that leads nowhere"),
            std::string::npos);
  fs::remove(folder / "src/dangling");
  mkfifo((folder / "src/pipe").c_str(), 0600);
  EXPECT_NE(refusal(folder / "src").find("pipe: neither a regular file nor a folder"),
            std::string::npos);
  EXPECT_NE(refusal(folder / "none").find("none: no such source folder"), std::string::npos);
}
