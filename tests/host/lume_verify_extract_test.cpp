// verify and extract over installers that are not sound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "tests/host/lume_test_files.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/error.h"
#include "tools/lume/commands/build.h"
#include "tools/lume/commands/extract.h"
#include "tools/lume/commands/verify.h"

using namespace lume;
namespace fs = std::filesystem;
using lume_test::write_file;

namespace {

class UnsoundInstaller : public testing::Test {
 protected:
  UnsoundInstaller() : console_(ProgressStyle::none) {
    lume_test::write_fake_stub(folder_ / "stub.exe");
    write_file(folder_ / "lume.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"src\"\n");
    write_file(folder_ / "src/sub/a.txt", std::string(5000, 'a'));
    write_file(folder_ / "src/sub/b.txt", "bbbb");
    write_file(folder_ / "src/z.txt", "zzzz");
    build_installer({folder_ / "lume.toml", folder_ / "setup.exe", folder_ / "stub.exe", 1},
                    console_);
    bytes_ = lume_test::read_bytes(folder_ / "setup.exe");
  }

  Installer installer(std::vector<uint8_t> bytes) {
    return parse_installer(std::move(bytes), "setup.exe", lume_test::fake_stubs());
  }

  // The installer with the second half of its stream gone.
  std::vector<uint8_t> cut_short() {
    size_t stream = installer(bytes_).stream().size();
    return std::vector<uint8_t>(bytes_.begin(), bytes_.end() - stream / 2);
  }

  // What extracting the sound installer into out fails with.
  std::string refusal(ExistingFiles existing) {
    return lume_test::error_text(
        [&] { extract_installer(installer(bytes_), folder_ / "out", 1252, console_, existing); });
  }

  // The regular files below folder, temporary ones included, sorted.
  static std::vector<std::string> files_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      if (entry.is_regular_file()) names.push_back(entry.path().lexically_relative(folder));
    std::sort(names.begin(), names.end());
    return names;
  }

  lume_test::ScratchFolder folder_;
  Console console_;
  std::vector<uint8_t> bytes_;
};

}  // namespace

TEST_F(UnsoundInstaller, VerifyReportsAStreamCutShort) {
  std::vector<std::string> problems = verify_installer(installer(cut_short()), 1252, console_);
  EXPECT_FALSE(problems.empty());
}

TEST_F(UnsoundInstaller, VerifyReportsContentsThatDoNotCheck) {
  Installer in = installer(bytes_);
  in.files[1].check ^= 1;  // sub\b.txt as the directory would hold it after a bit flip
  std::vector<std::string> problems = verify_installer(in, 1252, console_);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("sub\\b.txt: check value"), std::string::npos) << problems[0];
}

TEST_F(UnsoundInstaller, ExtractWritesNoFileThatDoesNotCheck) {
  Installer in = installer(bytes_);
  in.files[1].check ^= 1;
  std::vector<std::string> problems = extract_installer(in, folder_ / "out", 1252, console_);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("sub\\b.txt: check value"), std::string::npos) << problems[0];
  EXPECT_NE(problems[0].find("the file is not written"), std::string::npos) << problems[0];
  EXPECT_EQ(files_in(folder_ / "out"), (std::vector<std::string>{"sub/a.txt", "z.txt"}));
}

TEST_F(UnsoundInstaller, ExtractLeavesNoFileTheStreamDidNotFinish) {
  EXPECT_FALSE(extract_installer(installer(cut_short()), folder_ / "out", 1252, console_).empty());
  for (const std::string& name : files_in(folder_ / "out"))
    EXPECT_TRUE(name == "sub/a.txt" || name == "sub/b.txt") << name;
  EXPECT_FALSE(fs::exists(folder_ / "out/z.txt"));
}

// An old file goes only for a new one that is whole and checks, and a hard
// link to it keeps the old contents. Whatever is left of a cut-short stream
// leaves the old file as it was, never half the one and half the other.
TEST_F(UnsoundInstaller, ExtractWithOverwriteReplacesOnlyByFilesThatCheck) {
  const std::map<std::string, std::pair<std::string, std::string>> files = {
      {"sub/a.txt", {"mine a", std::string(5000, 'a')}},
      {"sub/b.txt", {"mine b", "bbbb"}},
      {"z.txt", {"mine z", "zzzz"}}};
  for (const auto& [name, contents] : files) write_file(folder_ / "out" / name, contents.first);
  fs::create_hard_link(folder_ / "out/sub/a.txt", folder_ / "a-link");
  Installer in = installer(bytes_);
  in.files[1].check ^= 1;  // sub\b.txt
  EXPECT_EQ(extract_installer(in, folder_ / "out", 1252, console_, ExistingFiles::replace).size(),
            1u);
  EXPECT_EQ(lume_test::read_file(folder_ / "out/sub/a.txt"), std::string(5000, 'a'));
  EXPECT_EQ(lume_test::read_file(folder_ / "a-link"), "mine a");
  EXPECT_EQ(lume_test::read_file(folder_ / "out/sub/b.txt"), "mine b");

  for (const auto& [name, contents] : files) write_file(folder_ / "out" / name, contents.first);
  EXPECT_FALSE(extract_installer(installer(cut_short()), folder_ / "out", 1252, console_,
                                 ExistingFiles::replace)
                   .empty());
  int kept = 0;
  for (const auto& [name, contents] : files) {
    std::string now = lume_test::read_file(folder_ / "out" / name);
    EXPECT_TRUE(now == contents.first || now == contents.second) << name << ": " << now;
    kept += now == contents.first;
  }
  EXPECT_GE(kept, 1);
  EXPECT_EQ(files_in(folder_ / "out"),
            (std::vector<std::string>{"sub/a.txt", "sub/b.txt", "z.txt"}));
}

// A reader holds the FIFO open, so that a writer would not block but leave
// its bytes there.
TEST_F(UnsoundInstaller, ExtractNeverOpensAFifoADeviceOrAFolderInTheWay) {
  fs::create_directories(folder_ / "out");
  ASSERT_EQ(mkfifo((folder_ / "out/z.txt").c_str(), 0600), 0);
  int reader = open((folder_ / "out/z.txt").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(refusal(ExistingFiles::replace), (folder_ / "out/z.txt").string() +
                                                 ": is a FIFO; the output can only be a new "
                                                 "or a regular file");
  char byte;
  EXPECT_EQ(read(reader, &byte, 1), 0) << "bytes written into the FIFO";
  close(reader);
  fs::remove(folder_ / "out/z.txt");

  if (mknod((folder_ / "out/z.txt").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
    EXPECT_NE(refusal(ExistingFiles::replace).find("z.txt: is a device"), std::string::npos);
    EXPECT_TRUE(fs::is_character_file(folder_ / "out/z.txt"));
    fs::remove(folder_ / "out/z.txt");
  }
  fs::create_directories(folder_ / "out/z.txt");
  EXPECT_NE(refusal(ExistingFiles::replace).find("z.txt: a folder stands where a file goes"),
            std::string::npos);
  EXPECT_EQ(files_in(folder_ / "out"), std::vector<std::string>{});
}

TEST_F(UnsoundInstaller, ExtractNeverFollowsALinkOutOfTheFolder) {
  fs::create_directories(folder_ / "out");
  fs::create_directories(folder_ / "elsewhere");
  fs::create_directory_symlink(folder_ / "elsewhere", folder_ / "out/sub");
  EXPECT_NE(refusal(ExistingFiles::refuse).find("a symbolic link stands here"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(folder_ / "elsewhere"));

  fs::remove(folder_ / "out/sub");
  fs::create_directories(folder_ / "out/sub");
  fs::create_symlink(folder_ / "elsewhere/planted", folder_ / "out/sub/a.txt");
  EXPECT_THROW(extract_installer(installer(bytes_), folder_ / "out", 1252, console_), Error);
  EXPECT_FALSE(fs::exists(folder_ / "elsewhere/planted"));
}
