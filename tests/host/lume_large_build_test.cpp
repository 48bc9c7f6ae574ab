// A product of more than 1 GiB, built by the lume executable: the build's
// memory must not grow with the product. Slow (a minute or so), so ctest
// labels it "slow": `ctest -LE slow` leaves it out; scripts/test runs it.
#include <fmt/core.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "tests/host/lume_test_files.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMemoryBound = uint64_t(512) << 20;

struct Measured {
  int status = -1;
  uint64_t peak_memory = 0;  // the child's largest resident set, in bytes
};

// Runs the tool with arguments in folder, its output kept in out.txt.
Measured run_measured(const fs::path& folder, const std::vector<std::string>& arguments) {
  pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    FILE* out = std::freopen("out.txt", "w", stdout);
    if (out == nullptr || dup2(fileno(stdout), 2) < 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(LUME_TOOL)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(LUME_TOOL, argv.data());
    _exit(127);
  }
  Measured measured;
  int status = 0;
  struct rusage usage = {};
  if (child > 0 && wait4(child, &status, 0, &usage) == child && WIFEXITED(status))
    measured.status = WEXITSTATUS(status);
  measured.peak_memory = uint64_t(usage.ru_maxrss) * 1024;
  return measured;
}

}  // namespace

TEST(LargeBuild, BuildsAProductOfOverAGibibyteWithinTheMemoryBound) {
  lume_test::ScratchFolder folder;
  lume_test::write_fake_stub(folder / "stub.exe");
  lume_test::write_file(folder / "lume.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"src\"\n");
  // Sparse files, read as zeros, each with 4 MiB of random bytes at its
  // start that the match finders must work through. The largest starts as
  // a program does: looking for an earlier installer must not read it whole.
  std::mt19937 rng(11);
  for (int k = 0; k < 4; ++k) {
    std::string noise(size_t(4) << 20, '\0');
    for (char& c : noise) c = char(rng());
    if (k == 0) noise.replace(0, 2, "MZ");
    fs::path part = folder / fmt::format("src/part{}.exe", k);
    lume_test::write_file(part, noise);
    fs::resize_file(part, uint64_t(k == 0 ? 640 : 200) << 20);
  }
  // Two threads whatever the machine's cores, so that the bound holds
  // on a machine with many.
  Measured build =
      run_measured(folder.path(), {"build", "--stub", "stub.exe", "--level", "1", "--jobs", "2",
                                   "-q", "-o", "big.exe"});
  ASSERT_EQ(build.status, 0) << lume_test::read_file(folder / "out.txt");
  RecordProperty("peak_memory_bytes", std::to_string(build.peak_memory));
  EXPECT_LT(build.peak_memory, kMemoryBound);
  EXPECT_GT(fs::file_size(folder / "big.exe"), uint64_t(16) << 20);  // the noise stays noise
  Measured verify = run_measured(folder.path(), {"verify", "-q", "big.exe"});
  EXPECT_EQ(verify.status, 0) << lume_test::read_file(folder / "out.txt");
}
