// The lume executable given hostile or careless input: texts that would
// change what the installer does, files that are not what they should be,
// and mistyped command lines.
#include <fmt/core.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tests/host/lume_tool_test.h"

namespace fs = std::filesystem;
using lume_test::read_bytes;
using lume_test::read_file;
using lume_test::write_file;

namespace {

using Outcome = lume_test::ToolOutcome;

class CarelessInput : public lume_test::ToolTest {
 protected:
  CarelessInput() {
    write_project("lume.toml", "title = \"TitleToForge\"\nfolder = \"Fold\"\nsource = \"src\"\n");
    write_file(folder_ / "src/b.txt", "other contents");
  }

  void write_project(const std::string& name, const std::string& text) {
    write_file(folder_ / name, text);
  }

  // Builds setup.exe from lume.toml and overwrites the first text after the
  // stub's image start that equals from with to (same length): a hand-made
  // installer that build would never write.
  void build_and_forge(const std::string& from, const std::string& to) {
    ASSERT_EQ(from.size(), to.size());
    ASSERT_EQ(run("build -q --stub stub.exe -o setup.exe").status, 0);
    std::vector<uint8_t> bytes = read_bytes(folder_ / "setup.exe");
    auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    ASSERT_NE(at, bytes.end()) << from;
    std::copy(to.begin(), to.end(), at);
    std::ofstream(folder_ / "setup.exe", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  bool wrote(const std::string& name) { return fs::exists(folder_ / name); }
};

bool says(const Outcome& o, const std::string& text) {
  return o.err.find(text) != std::string::npos;
}

}  // namespace

// --- Texts that would change what the installer or the uninstaller does ---

TEST_F(CarelessInput, BuildRefusesATitleWhoseLineFeedWouldForgeAnUninstallRecord) {
  write_project("evil.toml", "title = \"Probe\\n0Evil\"\nfolder = \"F\"\nsource = \"src\"\n");
  Outcome o = run("build evil.toml --stub stub.exe -o evil.exe");
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(says(o, "lume: evil.toml: title holds a control character, line feed (0x0A)"))
      << o.err;
  EXPECT_FALSE(wrote("evil.exe"));
}

TEST_F(CarelessInput, BuildRefusesANulThatWouldCutAShortcutArgumentShort) {
  write_project("nul.toml",
                "title = \"T\"\nfolder = \"F\"\nsource = \"src\"\n[[desktop]]\nname = \"A.lnk\"\n"
                "target = \"a.exe\"\narguments = \"/x\\u0000 /y\"\n");
  Outcome o = run("build nul.toml --stub stub.exe -o nul.exe");
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(says(o, "nul.toml:4: desktop shortcut 'A.lnk' arguments holds a control "
                      "character, NUL (0x00)"))
      << o.err;
  EXPECT_FALSE(wrote("nul.exe"));
}

TEST_F(CarelessInput, BuildRefusesDeviceNamesAtAnyFolderLevel) {
  for (const char* device : {"src/bin/NUL.txt", "src/con", "src/Lpt1.log.txt", "src/AUX/x.txt"}) {
    write_file(folder_ / device, "x");
    Outcome o = run("build --stub stub.exe -o dev.exe");
    EXPECT_EQ(o.status, 1) << device;
    EXPECT_TRUE(says(o, "a Windows device name")) << o.err;
    EXPECT_FALSE(wrote("dev.exe"));
    fs::remove(folder_ / device);
  }
}

TEST_F(CarelessInput, VerifyReportsATitleWithALineFeed) {
  build_and_forge("TitleToForge", "Title\nForged");
  Outcome o = run("verify --stub stub.exe setup.exe");
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(says(o, "lume: setup.exe: AppTitle holds a control character, line feed (0x0A)"))
      << o.err;
}

TEST_F(CarelessInput, VerifyReportsNamesThatDifferOnlyInLetterCase) {
  build_and_forge("b.txt", "A.TXT");
  Outcome o = run("verify --stub stub.exe setup.exe");
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(says(o, "the files 'a.txt' and 'A.TXT' differ only in letter case")) << o.err;
}

TEST_F(CarelessInput, VerifyReportsDeviceNamesInThePayloadAndInTheSlots) {
  build_and_forge("b.txt", "nul.x");
  Outcome payload = run("verify --stub stub.exe setup.exe");
  EXPECT_EQ(payload.status, 1);
  EXPECT_TRUE(says(payload, "'nul.x': a Windows device name")) << payload.err;

  build_and_forge(std::string("Fold\0", 5), std::string("PRN\0\0", 5));
  Outcome slot = run("verify --stub stub.exe setup.exe");
  EXPECT_EQ(slot.status, 1);
  EXPECT_TRUE(says(slot, "FolderName 'PRN': 'PRN' is a Windows device name")) << slot.err;
}

// --- Files that are not what they should be ---

TEST_F(CarelessInput, AFolderOrAnUnreadableFileIsNamedWithItsReason) {
  fs::create_directories(folder_ / "dir");
  const std::vector<std::string> commands = {"list {}", "verify {}", "build {} --stub stub.exe",
                                             "build --stub {}"};
  for (const std::string& command : commands) {
    Outcome dir = run(fmt::format(fmt::runtime(command), "dir"));
    EXPECT_EQ(dir.status, 1) << command;
    EXPECT_EQ(dir.err, "lume: dir: is a folder\n") << command;
    Outcome mem = run(fmt::format(fmt::runtime(command), "/proc/self/mem"));
    EXPECT_EQ(mem.status, 1) << command;
    EXPECT_TRUE(says(mem, "lume: /proc/self/mem: read failed: Input/output error")) << mem.err;
    EXPECT_FALSE(says(mem, "basic_filebuf")) << mem.err;
  }
  // Root reads a file whatever its mode, so this part needs an ordinary user.
  write_file(folder_ / "locked.exe", "MZ");
  fs::permissions(folder_ / "locked.exe", fs::perms::none);
  if (geteuid() != 0) {
    Outcome locked = run("list locked.exe");
    EXPECT_EQ(locked.status, 1);
    EXPECT_EQ(locked.err, "lume: locked.exe: cannot open: Permission denied\n");
  }
}

TEST_F(CarelessInput, AnEmptySourceOrASourceThatIsAFileIsSaidToBeSo) {
  write_project("empty.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"\"\n");
  Outcome empty = run("build empty.toml --stub stub.exe -o out.exe");
  EXPECT_EQ(empty.status, 1);
  EXPECT_TRUE(says(empty, "lume: empty.toml:3: 'source' is empty")) << empty.err;
  write_project("file.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"src/a.txt\"\n");
  Outcome file = run("build file.toml --stub stub.exe -o out.exe");
  EXPECT_EQ(file.status, 1);
  EXPECT_TRUE(says(file, "src/a.txt: the source is a file")) << file.err;
  EXPECT_FALSE(wrote("out.exe"));
}

TEST_F(CarelessInput, ACodePageThatDoesNotWriteAsciiAsAsciiIsRefusedBeforeAnythingIsWritten) {
  for (int code_page : {1200, 500}) {  // UTF-16, which iconv lacks; EBCDIC, which it has
    write_project("cp.toml", fmt::format("title = \"T\"\nfolder = \"F\"\nsource = \"src\"\n"
                                         "code_page = {}\n",
                                         code_page));
    Outcome o = run("build cp.toml --stub stub.exe -o cp.exe");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(says(o, fmt::format("lume: cp.toml: code page {} cannot be used", code_page)))
        << o.err;
    EXPECT_FALSE(wrote("cp.exe"));
  }
  ASSERT_EQ(run("build -q --stub stub.exe -o setup.exe").status, 0);
  Outcome extract = run("extract --code-page 1200 setup.exe out");
  EXPECT_EQ(extract.status, 2);
  EXPECT_TRUE(says(extract, "lume: --code-page: code page 1200 cannot be used")) << extract.err;
  EXPECT_FALSE(wrote("out"));
}

TEST_F(CarelessInput, AnEarlierInstallerInTheSourceFolderIsLeftOutAndSaidToBe) {
  ASSERT_EQ(run("build -q --stub stub.exe -o src/OldSetup.exe").status, 0);
  write_file(folder_ / "src/tool.exe", "MZ but no installer");
  Outcome o = run("build --stub stub.exe -o setup.exe");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(says(o, "left out: src/OldSetup.exe (an installer)")) << o.err;
  Outcome list = run("list --stub stub.exe setup.exe");
  EXPECT_EQ(list.out.find("OldSetup.exe"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("tool.exe"), std::string::npos) << list.out;
}

// --- Mistyped command lines ---

TEST_F(CarelessInput, UsageErrorsStartWithLumeAndExitWithTwo) {
  Outcome unknown = run("frobnicate");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(unknown.err.starts_with("lume: unknown command 'frobnicate'\n")) << unknown.err;
  for (const char* mistyped : {"list", "extract setup.exe", "build --level 99", "build --arch arm",
                               "verify --colour a.exe", "--frob"}) {
    Outcome o = run(mistyped);
    EXPECT_EQ(o.status, 2) << mistyped;
    EXPECT_TRUE(o.err.starts_with("lume: ")) << mistyped << ": " << o.err;
  }
  EXPECT_EQ(run("list --help").status, 0);
  EXPECT_EQ(run("--version").status, 0);
  EXPECT_EQ(run("list missing.exe").status, 1);
}
