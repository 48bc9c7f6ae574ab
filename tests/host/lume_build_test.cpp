// build -> list -> verify -> extract through the tool's own functions.
#include <fmt/core.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <random>

#include "tests/host/lume_test_files.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/error.h"
#include "tools/lume/commands/build.h"
#include "tools/lume/commands/extract.h"
#include "tools/lume/commands/list.h"
#include "tools/lume/commands/verify.h"

using namespace lume;
namespace fs = std::filesystem;
using lume_test::read_file;
using lume_test::write_file;

namespace {

class Build : public testing::Test {
 protected:
  Build() : console_(ProgressStyle::none) {
    lume_test::write_fake_stub(folder_ / "stub.exe");
    request_.project_file = folder_ / "lume.toml";
    request_.output = folder_ / "out" / "Setup.exe";
    request_.stub = folder_ / "stub.exe";
    request_.level = 1;
    fs::create_directories(folder_ / "out");
  }

  void project(const std::string& extra = "") {
    write_file(folder_ / "lume.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"src\"\n" + extra);
  }

  // The message the build fails with; also checks it left nothing behind.
  std::string refusal() {
    std::string message = lume_test::error_text([&] { build_installer(request_, console_); });
    if (message.empty()) return "built";
    EXPECT_TRUE(fs::is_empty(folder_ / "out")) << "output left behind";
    return message;
  }

  // Every regular file below root with its contents.
  static std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file())
        files[entry.path().lexically_relative(root).string()] = read_file(entry.path());
    return files;
  }

  lume_test::ScratchFolder folder_;
  BuildRequest request_;
  Console console_;
};

struct timespec modification(const fs::path& path) {
  struct stat st;
  stat(path.c_str(), &st);
  return st.st_mtim;
}

}  // namespace

TEST_F(Build, BuildListVerifyExtractGivesTheTreeBack) {
  project(R"([[start_menu]]
name = "App.lnk"
target = "bin/app.exe"
arguments = "/x"
)");
  const fs::path src = folder_ / "src";
  write_file(src / "bin/app.exe", std::string(100000, 'x') + "tail");
  write_file(src / "bin/data/empty.dat", "");
  write_file(src / "Caf\xC3\xA9/na\xC3\xAFve \xE2\x82\xAC.txt", "code page 1252 names");
  write_file(src / "readme.txt", "hello");
  write_file(src / "z-empty", "");
  int64_t second = 1000000000;
  for (const auto& entry : fs::recursive_directory_iterator(src))
    if (entry.is_regular_file()) {
      lume_test::set_times(entry.path(), second + 7, second);
      ++second;
    }

  BuildResult result = build_installer(request_, console_);
  EXPECT_EQ(result.file_count, 5u);
  EXPECT_EQ(fs::file_size(request_.output), result.installer_size);

  Installer in = read_installer(request_.output, lume_test::fake_stubs());
  EXPECT_EQ(in.payload_offset, lume_test::fake_stub().size());
  ASSERT_EQ(in.slots.values[kStartMenuShortcutsSlot].rows.size(), 1u);
  EXPECT_EQ(in.slots.values[kStartMenuShortcutsSlot].rows[0].file_field, "bin\\app.exe /x");
  std::vector<std::string> names;
  for (const PayloadFileEntry& f : in.files) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Caf\xE9\\na\xEFve \x80.txt", "bin\\app.exe",
                                             "bin\\data\\empty.dat", "readme.txt", "z-empty"}));
  std::string listing = list_text(in, 1252);
  EXPECT_NE(listing.find("Caf\xC3\xA9\\na\xC3\xAFve \xE2\x82\xAC.txt"), std::string::npos);
  EXPECT_NE(listing.find("[arguments: /x]"), std::string::npos);
  // 259 less "bin\\data\\empty.dat", the longest name.
  EXPECT_NE(listing.find("Longest installation folder: 241 characters"), std::string::npos);
  EXPECT_NE(list_json(in, 1252).find("\"name\": \"bin\\\\app.exe\", \"size\": 100004"),
            std::string::npos);

  EXPECT_EQ(verify_installer(in, 1252, console_), std::vector<std::string>{});
  const fs::path out = folder_ / "extracted";
  EXPECT_EQ(extract_installer(in, out, 1252, console_), std::vector<std::string>{});
  // Times first: reading the contents may move last access.
  for (const PayloadFileEntry& f : in.files) {
    std::string relative = f.name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    fs::path path =
        out / (relative[0] == 'C' ? "Caf\xC3\xA9/na\xC3\xAFve \xE2\x82\xAC.txt" : relative);
    FileTimes times = host::read_file_times(path);
    EXPECT_EQ(times.last_write, f.times.last_write) << relative;
    EXPECT_EQ(times.last_access, f.times.last_access) << relative;
    EXPECT_EQ(times.last_access, f.times.last_write + 70000000) << relative;  // as set: 7 s apart
  }
  struct timespec app = modification(out / "bin/app.exe");
  EXPECT_EQ(app.tv_sec, modification(src / "bin/app.exe").tv_sec);
  EXPECT_EQ(tree(out), tree(src));
}

TEST_F(Build, GivesTheSameBytesForTheSameInputs) {
  project();
  write_file(folder_ / "src/a.txt", "aaaa");
  write_file(folder_ / "src/sub/b.txt", "bbbb");
  // Times as a fresh file has them, which a plain read would move on.
  lume_test::set_times(folder_ / "src/a.txt", 1500000000, 1500000000);
  lume_test::set_times(folder_ / "src/sub/b.txt", 1500000000, 1500000000);
  build_installer(request_, console_);
  std::vector<uint8_t> first = lume_test::read_bytes(request_.output);
  build_installer(request_, console_);
  EXPECT_EQ(lume_test::read_bytes(request_.output), first);
}

// Three segments of the compressor, with a file across each cut: the
// installer must not depend on the threads that compress it. (The codec's
// own test holds the same at the default level.)
TEST_F(Build, GivesTheSameInstallerForAnyNumberOfJobs) {
  project();
  // Lines of a vocabulary of 4096 in random order: long matches, quickly found.
  std::mt19937 rng(7);
  std::vector<std::string> vocabulary;
  for (int k = 0; k < 4096; ++k)
    vocabulary.push_back(fmt::format("line {} says {} of {}\n", rng(), rng(), rng()));
  std::string lines;
  while (lines.size() < (size_t(34) << 20)) lines += vocabulary[rng() % vocabulary.size()];
  write_file(folder_ / "src/a.txt", lines.substr(0, size_t(14) << 20));
  write_file(folder_ / "src/b.txt", lines.substr(size_t(14) << 20, size_t(18) << 20));
  write_file(folder_ / "src/c.txt", lines.substr(size_t(32) << 20));
  std::vector<std::vector<uint8_t>> installers;
  for (int jobs : {1, 2}) {
    request_.jobs = jobs;
    request_.output = folder_ / "out" / fmt::format("{}.exe", jobs);
    build_installer(request_, console_);
    installers.push_back(lume_test::read_bytes(request_.output));
  }
  EXPECT_TRUE(installers[0] == installers[1]);
  Installer built = read_installer(request_.output, lume_test::fake_stubs());
  EXPECT_EQ(verify_installer(built, 1252, console_), std::vector<std::string>{});
}

// Two checkouts of one tree differ only in their files' times; under the
// same latest time their installers are the same bytes. An earlier time
// is kept.
TEST_F(Build, StoresNoTimeLaterThanTheLatestGiven) {
  const int64_t latest = 1600000000;
  request_.latest_time = filetime_from_unix({latest, 0});
  std::vector<std::vector<uint8_t>> installers;
  for (int64_t checked_out : {1700000000, 1800000000}) {
    std::string source = fmt::format("src{}", checked_out);
    write_file(folder_ / "lume.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"" + source + "\"\n");
    write_file(folder_ / source / "new.txt", "new");
    write_file(folder_ / source / "sub/old.txt", "old");
    lume_test::set_times(folder_ / source / "new.txt", checked_out, checked_out);
    lume_test::set_times(folder_ / source / "sub/old.txt", checked_out, latest - 100);
    EXPECT_GE(build_installer(request_, console_).files_clamped, 2u);
    installers.push_back(lume_test::read_bytes(request_.output));
  }
  EXPECT_TRUE(installers[0] == installers[1]);
  Installer in = read_installer(request_.output, lume_test::fake_stubs());
  ASSERT_EQ(in.files.size(), 2u);
  EXPECT_EQ(in.files[0].times, (FileTimes{*request_.latest_time, *request_.latest_time,
                                          *request_.latest_time}));
  EXPECT_EQ(in.files[1].times.last_write, filetime_from_unix({latest - 100, 0}));
}

TEST(SourceDateEpoch, IsADecimalNumberOfSecondsOrNothing) {
  EXPECT_EQ(latest_time_from_source_date_epoch(""), std::nullopt);
  EXPECT_EQ(latest_time_from_source_date_epoch("0"), filetime_from_unix({0, 0}));
  EXPECT_EQ(latest_time_from_source_date_epoch("253402300799"),
            filetime_from_unix({253402300799, 0}));
  for (const char* bad : {"-1", "-0", "+5", " 5", "5 ", "1e9", "0x10", "253402300800",
                          "99999999999999999999", "now\x1B[2J"})
    EXPECT_THROW(latest_time_from_source_date_epoch(bad), Error) << bad;
}

TEST_F(Build, RefusesBadInputWithAMessageAndNoOutput) {
  EXPECT_NE(refusal().find("lume.toml: cannot open: No such file or directory"), std::string::npos);
  project("titel = \"x\"\n");
  EXPECT_NE(refusal().find("unknown key 'titel'"), std::string::npos);
  project();
  EXPECT_NE(refusal().find("src: no such source folder"), std::string::npos);
  fs::create_directories(folder_ / "src/empty");
  EXPECT_NE(refusal().find("src: the source folder holds no files"), std::string::npos);

  write_file(folder_ / "src/ok.txt", "x");
  write_file(folder_ / "lume.toml",
             "title = \"" + std::string(288, 'T') + "\"\nfolder = \"F\"\nsource = \"src\"\n");
  EXPECT_NE(refusal().find("its slot holds at most 287"), std::string::npos);

  std::string seventeen;
  for (int k = 0; k < 17; ++k)
    seventeen += "[[start_menu]]\nname = \"" + std::string(1, char('a' + k)) +
                 ".lnk\"\ntarget = \"ok.txt\"\n";
  project(seventeen);
  EXPECT_NE(refusal().find("start_menu lists 17 shortcuts"), std::string::npos);
  project("[[desktop]]\nname = \"\"\ntarget = \"ok.txt\"\n");
  EXPECT_NE(refusal().find("a desktop shortcut with an empty name"), std::string::npos);
  project("code_page = 1251\n");
  write_file(folder_ / "src/\xC3\xA9.txt", "x");
  EXPECT_NE(refusal().find("has no form in code page 1251"), std::string::npos);
  fs::remove(folder_ / "src/\xC3\xA9.txt");

  project();
  write_file(folder_ / "src" / std::string(160, 'n'), "x");
  EXPECT_NE(refusal().find("its path would pass 259"), std::string::npos);
  fs::remove(folder_ / "src" / std::string(160, 'n'));
  write_file(folder_ / "src/trailing.", "x");
  EXPECT_NE(refusal().find("src/trailing.: a name the installer refuses"), std::string::npos);
  fs::remove(folder_ / "src/trailing.");
  write_file(folder_ / "src/LUMEUINS.DAT", "x");
  EXPECT_NE(refusal().find("the installer writes a file of this name itself"), std::string::npos);
  fs::remove(folder_ / "src/LUMEUINS.DAT");

  request_.stub = folder_ / "nothing.exe";
  EXPECT_NE(refusal().find("nothing.exe: cannot open: No such file or directory"),
            std::string::npos);
  build_installer({request_.project_file, folder_ / "built.exe", folder_ / "stub.exe", 1},
                  console_);
  request_.stub = folder_ / "built.exe";
  EXPECT_NE(refusal().find("built.exe: keys missing or already overwritten"), std::string::npos);
}

TEST_F(Build, RefusesPayloadsPastTheInstallersLimits) {
  project();
  // A sparse file: the total is refused before a byte of it is read.
  write_file(folder_ / "src/huge.bin", "");
  fs::resize_file(folder_ / "src/huge.bin", 0x100000000ull);
  EXPECT_NE(refusal().find("an installer holds less than 4 GiB"), std::string::npos);
  fs::remove(folder_ / "src/huge.bin");

  // 834 entries of 33 + 124 bytes take 130938 bytes of directory; one of
  // 33 + 102 more makes 131073, one of 33 + 101 the largest allowed.
  for (int k = 0; k < 834; ++k) write_file(folder_ / "src" / fmt::format("{:0124}", k), "");
  write_file(folder_ / "src" / std::string(102, 'n'), "");
  EXPECT_NE(refusal().find("takes 131073 bytes; the installer holds at most 131072"),
            std::string::npos);
  fs::rename(folder_ / "src" / std::string(102, 'n'), folder_ / "src" / std::string(101, 'n'));
  EXPECT_EQ(refusal(), "built");
  EXPECT_EQ(read_installer(request_.output, lume_test::fake_stubs()).header.directory_size,
            131072u);
}

TEST_F(Build, LeavesAnEarlierInstallerInTheSourceFolderOut) {
  project();
  write_file(folder_ / "src/a.txt", "a");
  request_.output = folder_ / "src/Setup.exe";
  build_installer(request_, console_);
  EXPECT_EQ(build_installer(request_, console_).file_count, 1u);
  EXPECT_EQ(read_installer(request_.output, lume_test::fake_stubs()).files.size(), 1u);
}

TEST_F(Build, WarnsOfTargetsOutsideThePayloadAndOfEmptyFolders) {
  project("[[start_menu]]\nname = \"Gone.lnk\"\ntarget = \"gone.exe\"\n");
  write_file(folder_ / "src/a.txt", "a");
  fs::create_directories(folder_ / "src/nothing/inside");
  build_installer(request_, console_);
  EXPECT_TRUE(fs::exists(request_.output));
  ASSERT_EQ(console_.warnings().size(), 2u);
  EXPECT_NE(console_.warnings()[0].find("src/nothing: an empty folder"), std::string::npos);
  EXPECT_NE(console_.warnings()[1].find("the target 'gone.exe' is not in the payload"),
            std::string::npos);
}

// A name on disk may hold anything: the build's messages show it escaped.
TEST_F(Build, NamesFilesInItsMessagesWithTheirControlCharactersEscaped) {
  project();
  write_file(folder_ / "src/a.txt", "a");
  fs::create_directories(folder_ / "src/e\x1B]0;x\x07");
  build_installer(request_, console_);
  ASSERT_EQ(console_.warnings().size(), 1u);
  EXPECT_NE(console_.warnings()[0].find("src/e\\x1B]0;x\\x07: an empty folder"),
            std::string::npos)
      << console_.warnings()[0];
  fs::remove(request_.output);
  write_file(folder_ / "src/tab\tname\x1B[2J.txt", "b");
  EXPECT_NE(refusal().find("src/tab\\x09name\\x1B[2J.txt: a name the installer refuses"),
            std::string::npos)
      << refusal();
}
