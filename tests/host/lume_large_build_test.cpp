// A product of more than 1 GiB, built by the lume executable: the build's
// memory must not grow with the product. Slow (half a minute on a busy
// machine), so ctest labels it "slow": `ctest -LE slow` leaves it out;
// scripts/test runs it.
#include <fmt/core.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <random>

#include "tests/host/lume_tool_test.h"

namespace fs = std::filesystem;

using LargeBuild = lume_test::ToolTest;

TEST_F(LargeBuild, BuildsAProductOfOverAGibibyteWithinTheMemoryBound) {
  const lume_test::ScratchFolder& folder = folder_;
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
  // Two threads whatever the machine's cores, so that the bound holds on a
  // machine with many. The build is this test's first child: the largest
  // resident set of the children waited for is its own.
  lume_test::ToolOutcome build = run("build --stub stub.exe --level 1 --jobs 2 -q -o big.exe");
  struct rusage children = {};
  getrusage(RUSAGE_CHILDREN, &children);
  ASSERT_EQ(build.status, 0) << build.err;
  RecordProperty("peak_memory_bytes", std::to_string(children.ru_maxrss * 1024));
  EXPECT_LT(children.ru_maxrss * 1024, 512l << 20);
  EXPECT_GT(fs::file_size(folder / "big.exe"), uint64_t(16) << 20);  // the noise stays noise
  lume_test::ToolOutcome verify = run("verify -q --stub stub.exe big.exe");
  EXPECT_EQ(verify.status, 0) << verify.err;
}
