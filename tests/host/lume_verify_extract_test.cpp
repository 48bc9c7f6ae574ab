// verify and extract over installers that are not sound.
#include <gtest/gtest.h>

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
    return parse_installer(std::move(bytes), "setup.exe");
  }

  // The installer with the second half of its stream gone.
  std::vector<uint8_t> cut_short() {
    size_t stream = installer(bytes_).stream().size();
    return std::vector<uint8_t>(bytes_.begin(), bytes_.end() - stream / 2);
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

TEST_F(UnsoundInstaller, ExtractRemovesAFileThatDoesNotCheck) {
  Installer in = installer(bytes_);
  in.files[1].check ^= 1;
  std::vector<std::string> problems = extract_installer(in, folder_ / "out", 1252, console_);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("the file is removed"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder_ / "out/sub/b.txt"));
  EXPECT_TRUE(fs::exists(folder_ / "out/sub/a.txt"));
  EXPECT_TRUE(fs::exists(folder_ / "out/z.txt"));
}

TEST_F(UnsoundInstaller, ExtractLeavesNoFileTheStreamDidNotFinish) {
  EXPECT_FALSE(extract_installer(installer(cut_short()), folder_ / "out", 1252, console_).empty());
  EXPECT_FALSE(fs::exists(folder_ / "out/z.txt"));
}

TEST_F(UnsoundInstaller, ExtractNeverFollowsALinkOutOfTheFolder) {
  fs::create_directories(folder_ / "out");
  fs::create_directories(folder_ / "elsewhere");
  fs::create_directory_symlink(folder_ / "elsewhere", folder_ / "out/sub");
  try {
    extract_installer(installer(bytes_), folder_ / "out", 1252, console_);
    FAIL() << "extracted through a link";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("a symbolic link stands here"), std::string::npos);
  }
  EXPECT_TRUE(fs::is_empty(folder_ / "elsewhere"));

  fs::remove(folder_ / "out/sub");
  fs::create_directories(folder_ / "out/sub");
  fs::create_symlink(folder_ / "elsewhere/planted", folder_ / "out/sub/a.txt");
  EXPECT_THROW(extract_installer(installer(bytes_), folder_ / "out", 1252, console_), Error);
  EXPECT_FALSE(fs::exists(folder_ / "elsewhere/planted"));
}
