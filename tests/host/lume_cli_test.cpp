// The lume executable as its users run it: exit codes, messages, stubs.
#include <fmt/core.h>
#include <gtest/gtest.h>

#include "tests/host/lume_tool_test.h"

namespace fs = std::filesystem;
using lume_test::read_file;
using lume_test::write_file;

namespace {

using Outcome = lume_test::ToolOutcome;
using Cli = lume_test::ToolTest;

}  // namespace

TEST_F(Cli, AnswersEveryWayOfAskingForItsVersionAndHelp) {
  for (const char* asked : {"--version", "-V", "version"}) {
    Outcome version = run(asked);
    EXPECT_EQ(version.status, 0) << asked;
    EXPECT_TRUE(version.out.starts_with("lume 0.")) << asked << ": " << version.out;
  }
  for (const char* asked : {"help", "--help"}) {
    Outcome help = run(asked);
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"lume: builds", "build", "list", "verify", "extract",
                             "'stubs' beside the lume executable"})
      EXPECT_NE(help.out.find(word), std::string::npos) << asked << ": " << word;
    EXPECT_EQ(help.out.find(LUME_TOOL), std::string::npos) << asked << ": " << help.out;
  }
  Outcome build = run("help build");
  EXPECT_EQ(build.status, 0);
  EXPECT_NE(build.out.find("Build an installer from a project file"), std::string::npos);
  EXPECT_NE(build.out.find("Usage: lume build [OPTIONS]"), std::string::npos) << build.out;
  EXPECT_NE(build.out.find("--level"), std::string::npos) << build.out;
  Outcome unknown = run("help frob");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(unknown.err.starts_with("lume: unknown command 'frob'\n")) << unknown.err;
}

TEST_F(Cli, TakesAFolderForItsProjectFileAndRefusesAnEmptyOutputName) {
  write_file(folder_ / "product/lume.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"../src\"\n");
  Outcome folder = run("build -q --stub stub.exe product -o folder.exe");
  EXPECT_EQ(folder.status, 0) << folder.err;
  EXPECT_TRUE(fs::exists(folder_ / "folder.exe"));
  Outcome empty = run("build -q --stub stub.exe -o ''");
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.err.find("the name is empty"), std::string::npos) << empty.err;
}

TEST_F(Cli, FindsTheStubsBesideItselfOrInAnInstalledLayout) {
  fs::create_directories(folder_ / "tree/stubs/x64");
  fs::copy_file(LUME_TOOL, folder_ / "tree/lume");
  fs::copy_file(folder_ / "stub.exe", folder_ / "tree/stubs/x64/lumestub.exe");
  EXPECT_EQ(run("build --arch x64 -q -o x64.exe", folder_ / "tree/lume").status, 0);
  Outcome missing = run("build -q -o x86.exe", folder_ / "tree/lume");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no x86 stub found; looked at:"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("tree/stubs/x86/lumestub.exe"), std::string::npos) << missing.err;

  fs::create_directories(folder_ / "prefix/bin");
  fs::create_directories(folder_ / "prefix/share/lume/stubs/x86");
  fs::copy_file(LUME_TOOL, folder_ / "prefix/bin/lume");
  fs::copy_file(folder_ / "stub.exe", folder_ / "prefix/share/lume/stubs/x86/lumestub.exe");
  EXPECT_EQ(run("build -q -o x86.exe", folder_ / "prefix/bin/lume").status, 0);
  EXPECT_EQ(run("verify -q --stub stub.exe x86.exe").status, 0);
}

TEST_F(Cli, FailsWithTheFileAndTheProblemAndWritesNothing) {
  write_file(folder_ / "bad.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"src\"\ncolour = 1\n");
  Outcome bad = run("build bad.toml --stub stub.exe -o out.exe");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "lume: bad.toml:4: unknown key 'colour'\n");
  EXPECT_FALSE(fs::exists(folder_ / "out.exe"));
  for (const auto& entry : fs::directory_iterator(folder_.path()))
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
  EXPECT_NE(run("build --level 99 --stub stub.exe").status, 0);
  EXPECT_NE(run("list").status, 0);
}

TEST_F(Cli, ReportsProgressAsPlainLinesOffATerminalAndNothingWhenQuiet) {
  Outcome loud = run("build --stub stub.exe -o loud.exe");
  EXPECT_EQ(loud.status, 0);
  EXPECT_NE(loud.err.find("compressing: "), std::string::npos) << loud.err;
  EXPECT_EQ(loud.err.find('\r'), std::string::npos);
  EXPECT_NE(loud.out.find("loud.exe: 1 file of 13 bytes"), std::string::npos) << loud.out;
  Outcome quiet = run("build --stub stub.exe -o quiet.exe --quiet");
  EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST_F(Cli, SaysWhenSourceDateEpochBringsTimesBack) {
  setenv("SOURCE_DATE_EPOCH", "1000000000", 1);
  Outcome clamped = run("build --stub stub.exe -o clamped.exe --jobs 1");
  setenv("SOURCE_DATE_EPOCH", "yesterday", 1);
  Outcome refused = run("build --stub stub.exe -o refused.exe");
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(clamped.status, 0);
  EXPECT_NE(clamped.out.find("times stored no later than SOURCE_DATE_EPOCH, 2001-09-09 01:46:40 "
                             "UTC: 1 file brought back to it"),
            std::string::npos)
      << clamped.out;
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("SOURCE_DATE_EPOCH: 'yesterday' is no number"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(folder_ / "refused.exe"));
}

TEST_F(Cli, VerifyExitsWithOneWhenAFileDoesNotCheck) {
  ASSERT_EQ(run("build -q --stub stub.exe -o setup.exe").status, 0);
  Outcome sound = run("verify --stub stub.exe setup.exe");
  EXPECT_EQ(sound.status, 0);
  EXPECT_NE(sound.out.find("all sound"), std::string::npos);

  std::vector<uint8_t> bytes = lume_test::read_bytes(folder_ / "setup.exe");
  bytes[lume_test::fake_stub().size() + 12] ^= 0x01;  // the first entry's check value
  std::ofstream(folder_ / "setup.exe", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  Outcome fault = run("verify --stub stub.exe setup.exe");
  EXPECT_EQ(fault.status, 1);
  EXPECT_NE(fault.err.find("lume: setup.exe: a.txt: check value"), std::string::npos) << fault.err;
  Outcome json = run("list --stub stub.exe --json setup.exe");
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"files\": [\n    {\"name\": \"a.txt\", \"size\": 13"),
            std::string::npos)
      << json.out;
}
