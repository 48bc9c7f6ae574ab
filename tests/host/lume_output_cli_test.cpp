// The lume executable never destroys a user's file: what its outputs may
// replace, extract over files already there, write failures, and signals
// that end it halfway.
#include <fcntl.h>
#include <fmt/core.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "tests/host/lume_tool_test.h"
#include "tests/support/random_bytes.h"

namespace fs = std::filesystem;
using lume_test::read_file;
using lume_test::write_file;

namespace {

class OutputCli : public lume_test::ToolTest {
 protected:
  // A shell command's exit status, its standard error in err_.
  int shell(const std::string& command) {
    lume_test::ToolOutcome outcome = ToolTest::shell(command);
    err_ = outcome.err;
    return outcome.status;
  }
  int run(const std::string& arguments) { return shell("\"$LUME\" " + arguments); }

  // Temporary files below the scratch folder, which may change meanwhile.
  std::vector<std::string> partial_files() {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder_.path(), ec), end; !ec && it != end;
         it.increment(ec))
      if (it->path().extension() == ".partial") found.push_back(it->path().string());
    return found;
  }

  // Starts lume, sends it signal as soon as it has a temporary file, and
  // returns how it ended (normally, when it was never seen writing).
  int interrupt(std::vector<std::string> arguments, int signal) {
    std::vector<char*> argv{const_cast<char*>(LUME_TOOL)};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
      int null = open("/dev/null", O_WRONLY);
      if (chdir(folder_.path().c_str()) != 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) _exit(127);
      std::signal(SIGINT, SIG_DFL);  // a background job starts with SIGINT ignored
      execv(LUME_TOOL, argv.data());
      _exit(127);
    }
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
      if (!partial_files().empty() || std::chrono::steady_clock::now() > give_up) {
        kill(child, signal);
        waitpid(child, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return status;
  }

  std::string err_;
};

}  // namespace

// The final rename would put the output in place of each of these; as root,
// of /dev/null itself (a device of the test's own where it may make one).
TEST_F(OutputCli, RefusesAnOutputThatIsNoRegularFileOrIsAnInput) {
  fs::create_directory(folder_ / "folder");
  ASSERT_EQ(mkfifo((folder_ / "fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", folder_ / "link");
  fs::create_hard_link(folder_ / "lume.toml", folder_ / "project-link");
  std::string device = "/dev/null";
  if (mknod((folder_ / "device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) device = "device";
  const std::string project = read_file(folder_ / "lume.toml");
  const std::pair<std::string, std::string> cases[] = {
      {"build -q --stub stub.exe -o folder", "folder: is a folder; the output can only"},
      {"encode src/a.txt fifo", "fifo: is a FIFO; the output can only be a new or a regular"},
      {"decode --size 1 src/a.txt " + device, device + ": is a device; the output can only"},
      {"build -q --stub stub.exe -o link", "link: is a symbolic link to a FIFO; the output"},
      {"build -q --stub stub.exe -o lume.toml", "lume.toml: is the project file; the output "
                                                "would replace it"},
      {"build -q --stub stub.exe -o project-link", "project-link: is the project file"},
      {"build -q --stub stub.exe -o stub.exe", "stub.exe: is the stub"},
      {"build -q --stub stub.exe -o src/a.txt", "src/a.txt: is the source file src/a.txt"},
      {"encode lume.toml ./lume.toml", "./lume.toml: is the input file"},
  };
  for (const auto& [command, message] : cases) {
    EXPECT_EQ(run(command), 1) << command;
    EXPECT_EQ(err_.rfind("lume: " + message, 0), 0u) << err_;
  }
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder_ / "folder")));
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(folder_ / "fifo")));
  EXPECT_TRUE(fs::is_character_file(fs::symlink_status(folder_ / device)));
  EXPECT_EQ(read_file(folder_ / "lume.toml"), project);
  EXPECT_EQ(read_file(folder_ / "src/a.txt"), "some contents");
  EXPECT_EQ(partial_files(), std::vector<std::string>{});

  // A link to some other regular file is replaced; what it named is not.
  write_file(folder_ / "elsewhere", "kept");
  fs::create_symlink("elsewhere", folder_ / "to-elsewhere");
  EXPECT_EQ(run("build -q --stub stub.exe -o to-elsewhere"), 0) << err_;
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder_ / "to-elsewhere")));
  EXPECT_EQ(read_file(folder_ / "elsewhere"), "kept");
}

// Only by a file that checks: lume_verify_extract_test.
TEST_F(OutputCli, ExtractReplacesAFileAlreadyThereOnlyWhenToldTo) {
  ASSERT_EQ(run("build -q --stub stub.exe -o setup.exe"), 0);
  write_file(folder_ / "out/a.txt", "mine");
  EXPECT_EQ(run("extract -q --stub stub.exe setup.exe out"), 1);
  EXPECT_NE(err_.find("out/a.txt: a file of this name is already there; give --overwrite"),
            std::string::npos)
      << err_;
  EXPECT_EQ(read_file(folder_ / "out/a.txt"), "mine");
  EXPECT_EQ(run("extract -q --stub stub.exe --overwrite setup.exe out"), 0);
  EXPECT_EQ(read_file(folder_ / "out/a.txt"), "some contents");

}

// Permissions do not hold for root, but /sys refuses new files to anyone;
// a file size limit fails writes as a full disk does, for anyone, and its
// signal, SIGXFSZ, does not end the tool halfway.
TEST_F(OutputCli, AWriteFailureNamesItsReasonAndLeavesNothing) {
  write_file(folder_ / "src/big.bin", lume_test::random_bytes(256 << 10, 5));
  ASSERT_EQ(run("build -q --level 1 --stub stub.exe -o setup.exe"), 0);
  for (const char* command : {"build -q --level 1 --stub stub.exe -o limited.exe",
                              "extract -q --stub stub.exe setup.exe out"}) {
    EXPECT_EQ(shell(fmt::format("ulimit -f 128; exec \"$LUME\" {}", command)), 1) << command;
    EXPECT_NE(err_.find(": write failed: File too large"), std::string::npos) << err_;
    EXPECT_EQ(partial_files(), std::vector<std::string>{});
  }
  EXPECT_NE(err_.find("out/big.bin: write failed"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(folder_ / "out/big.bin"));
  EXPECT_FALSE(fs::exists(folder_ / "limited.exe"));
  if (fs::is_directory("/sys/kernel")) {
    EXPECT_EQ(run("build -q --stub stub.exe -o /sys/lume-test.exe"), 1);
    EXPECT_EQ(err_, "lume: /sys/lume-test.exe: cannot create: Permission denied\n");
  }
}

// The temporary file stands from before compressing, which takes seconds
// for 4 MiB of random letters; the signal comes as soon as it appears.
TEST_F(OutputCli, AnInterruptedBuildLeavesNoTemporaryFile) {
  lume_test::Random random(11);
  std::string letters(4 << 20, ' ');
  for (char& c : letters) c = char('a' + random.below(26));
  write_file(folder_ / "src/big.txt", letters);
  for (int signal : {SIGINT, SIGTERM}) {
    int status = interrupt({"build", "-q", "--stub", "stub.exe", "-o", "setup.exe"}, signal);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(partial_files(), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(folder_ / "setup.exe"));
  }
}

// Extracting is quick: a run that ended before the signal is tried again.
TEST_F(OutputCli, AnInterruptedExtractLeavesNoTemporaryOrCutShortFile) {
  const std::string contents(1 << 20, '\0');
  for (int k = 0; k < 24; ++k) write_file(folder_ / fmt::format("src/{:02}.bin", k), contents);
  ASSERT_EQ(run("build -q --level 1 --stub stub.exe -o setup.exe"), 0);
  int status = 0;
  for (int attempt = 0; attempt < 4 && !WIFSIGNALED(status); ++attempt) {
    fs::remove_all(folder_ / "out");
    status = interrupt({"extract", "-q", "--stub", "stub.exe", "setup.exe", "out"}, SIGTERM);
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(partial_files(), std::vector<std::string>{});
  for (const auto& entry : fs::directory_iterator(folder_ / "out"))
    EXPECT_EQ(fs::file_size(entry.path()), contents.size()) << entry.path();
}

// A folder extract writes into is swapped for a link to elsewhere right
// before the second file is created, the first one having appeared: a
// preloaded hook makes the swap at that point on every run.
TEST_F(OutputCli, ExtractWritesNothingElsewhereWhenAFolderIsSwappedForALinkMidway) {
  write_file(folder_ / "src/sub/a.txt", "sub a");
  write_file(folder_ / "src/sub/b.txt", "sub b");
  ASSERT_EQ(run("build -q --stub stub.exe -o setup.exe"), 0);
  fs::create_directories(folder_ / "elsewhere");
  shell(fmt::format("LUME_SWAP_FOLDER='{}' LUME_SWAP_TARGET='{}' LUME_SWAP_AT=2 LD_PRELOAD='{}' "
                    "\"$LUME\" extract -q --stub stub.exe setup.exe out",
                    (folder_ / "out/sub").string(), (folder_ / "elsewhere").string(),
                    LUME_SWAP_HOOK));
  ASSERT_TRUE(fs::is_symlink(folder_ / "out/sub")) << "no swap: " << err_;
  EXPECT_TRUE(fs::is_empty(folder_ / "elsewhere"));
  EXPECT_EQ(partial_files(), std::vector<std::string>{});
}

// Names the system takes, however long, are extracted: 120 two-byte
// letters and ".txt" are 244 bytes of UTF-8 and 124 of code page 1252.
TEST_F(OutputCli, ExtractWritesTheLongestNamesItsBuildTakes) {
  std::string name;
  for (int k = 0; k < 120; ++k) name += "\xC3\xA9";
  name += ".txt";
  write_file(folder_ / "src" / name, "long");
  ASSERT_EQ(run("build -q --stub stub.exe -o setup.exe"), 0) << err_;
  EXPECT_EQ(run("extract -q --stub stub.exe setup.exe out"), 0) << err_;
  EXPECT_EQ(read_file(folder_ / "out" / name), "long");
}
