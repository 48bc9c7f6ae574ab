// The lume executable (LUME_TOOL) run as its users run it, in a scratch
// folder that holds a stand-in stub (stub.exe), a project file (lume.toml)
// and its source folder of one file (src/a.txt).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/host/lume_test_files.h"

namespace lume_test {

// How a run ended, and what it printed.
struct ToolOutcome {
  int status;  // the exit status; -1 when it did not exit (a signal)
  std::string out;
  std::string err;
};

class ToolTest : public testing::Test {
 protected:
  ToolTest() {
    write_fake_stub(folder_ / "stub.exe");
    write_file(folder_ / "lume.toml", "title = \"T\"\nfolder = \"F\"\nsource = \"src\"\n");
    write_file(folder_ / "src/a.txt", "some contents");
  }

  // Runs a shell command in the folder, $LUME naming the tool; what it
  // printed is kept there as out.txt and err.txt.
  ToolOutcome shell(const std::string& command, const fs::path& tool = LUME_TOOL) {
    std::string line = "cd '" + folder_.path().string() + "' && LUME='" + tool.string() +
                       "' && (" + command + ") >out.txt 2>err.txt";
    int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(folder_ / "out.txt"),
            read_file(folder_ / "err.txt")};
  }

  // Runs lume (or another copy of it) with arguments (shell words).
  ToolOutcome run(const std::string& arguments, const fs::path& tool = LUME_TOOL) {
    return shell("\"$LUME\" " + arguments, tool);
  }

  ScratchFolder folder_;
};

}  // namespace lume_test
