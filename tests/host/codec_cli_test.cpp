// lume encode and lume decode, run as the user runs them.
#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/host/lume_tool_test.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class CodecCommands : public lume_test::ToolTest {
 protected:
  fs::path path(const std::string& name) const { return folder_ / name; }

  // Runs lume with arguments; returns its exit status, keeps its messages.
  int lume(const std::string& arguments) {
    lume_test::ToolOutcome outcome = run(arguments);
    messages_ = outcome.err;
    return outcome.status;
  }

  void write(const std::string& name, const Bytes& bytes) {
    lume_test::write_file(path(name), std::string(bytes.begin(), bytes.end()));
  }

  Bytes read(const std::string& name) { return lume_test::read_bytes(path(name)); }

  // The files in the folder besides what the fixture put there.
  std::vector<std::string> files() {
    const std::set<std::string> fixture = {"stub.exe", "lume.toml", "src", "out.txt", "err.txt"};
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.path()))
      if (!fixture.count(entry.path().filename().string()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string messages_;
};

Bytes sample(size_t size) {
  std::mt19937 rng(1);
  Bytes out;
  while (out.size() < size) {
    std::string word = "word" + std::to_string(rng() % 50) + " ";
    out.insert(out.end(), word.begin(), word.end());
  }
  out.resize(size);
  return out;
}

// The codec's own tests cover the round trips; here the files and the
// options have to reach it.
TEST_F(CodecCommands, EncodeHandsTheLevelOnAndDecodeGivesTheFileBack) {
  Bytes data = sample(100000);
  write("in", data);
  for (int level : {1, 4}) {
    std::string stream = "stream" + std::to_string(level);
    ASSERT_EQ(lume("encode --level " + std::to_string(level) + " " + path("in").string() + " " +
                   path(stream).string()),
              0)
        << messages_;
  }
  EXPECT_NE(read("stream1"), read("stream4"));
  ASSERT_EQ(lume("decode --size 100000 " + path("stream4").string() + " " + path("out").string()),
            0)
      << messages_;
  EXPECT_TRUE(read("out") == data);
}

TEST_F(CodecCommands, DecodeWritesTheWholeLastMatchPastTheSize) {
  write("in", Bytes(10, 'a'));
  ASSERT_EQ(lume("encode " + path("in").string() + " " + path("stream").string()), 0);
  ASSERT_EQ(lume("decode --size 5 " + path("stream").string() + " " + path("out").string()), 0);
  // A literal and one match of nine: all ten bytes come out.
  EXPECT_EQ(read("out"), Bytes(10, 'a'));
}

// Each way a stream can be unsound, named as such, and no output left.
TEST_F(CodecCommands, DecodeRefusesUnsoundStreamsAndLeavesNoOutput) {
  // Block size 5, then a length-code count of 31: more than 19 symbols.
  write("bad", {0x00, 0x05, 0xF8, 0x00, 0x00, 0x00});
  write("in", sample(50000));
  ASSERT_EQ(lume("encode in stream"), 0) << messages_;
  Bytes stream = read("stream");
  stream.resize(stream.size() / 2);
  write("cut", stream);
  const struct {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"decode --size 5 bad out", "lume: bad: corrupt stream: a block's code tables are invalid"},
      {"decode --size 50000 cut out", "lume: cut: corrupt stream: it is cut short"},
      {"decode --size 50001 stream out", "lume: stream: corrupt stream: it ends after 50000 of "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lume(c.arguments), 1) << c.arguments;
    EXPECT_EQ(messages_.rfind(c.message, 0), 0u) << messages_;
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"bad", "cut", "in", "stream"}));
}

TEST_F(CodecCommands, EncodeNamesAMissingInputAndRefusesUnknownLevels) {
  EXPECT_NE(lume("encode " + path("missing").string() + " " + path("out").string()), 0);
  EXPECT_NE(messages_.find("missing: cannot open: No such file or directory"), std::string::npos)
      << messages_;
  write("in", sample(100));
  EXPECT_NE(lume("encode --level 0 " + path("in").string() + " " + path("out").string()), 0);
  EXPECT_NE(lume("encode --level 99 " + path("in").string() + " " + path("out").string()), 0);
  EXPECT_EQ(files(), (std::vector<std::string>{"in"}));
}

}  // namespace
