#include "uninstaller/uninstall_data.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A stream over the given bytes (a temporary file, as the uninstaller reads one).
FILE* stream_of(const std::string& bytes) {
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

struct Line {
  std::string text;
  bool end;
};

std::vector<Line> read_all(const std::string& bytes, unsigned limit = kDataLineLimit) {
  FILE* f = stream_of(bytes);
  std::vector<Line> lines;
  std::vector<char> buffer(limit + 1);
  for (;;) {
    bool end = read_line(buffer.data(), limit, f);
    lines.push_back({buffer.data(), end});
    if (end) break;
  }
  std::fclose(f);
  return lines;
}

}  // namespace

TEST(ReadLine, SplitsAtLineFeedsAndKeepsCarriageReturns) {
  auto lines = read_all("Title\n0C:\\a.txt\r\n3key\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].text, "Title");
  EXPECT_EQ(lines[1].text, "0C:\\a.txt\r");
  EXPECT_EQ(lines[2].text, "3key");
  EXPECT_FALSE(lines[2].end);
  EXPECT_EQ(lines[3].text, "");  // the file ends with a line feed: one empty last line
  EXPECT_TRUE(lines[3].end);
}

TEST(ReadLine, DeliversALastLineWithoutLineFeed) {
  auto lines = read_all("Title\n0C:\\last");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].text, "0C:\\last");
  EXPECT_TRUE(lines[1].end);

  auto empty = read_all("");
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].text, "");
  EXPECT_TRUE(empty[0].end);
}

TEST(ReadLine, ReadsALineOfExactlyTheLimitWhole) {
  std::string full(kDataLineLimit, 'x');
  auto lines = read_all(full + "\nnext\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, full);
  EXPECT_FALSE(lines[0].end);
  EXPECT_EQ(lines[1].text, "next");

  auto at_end = read_all(full);
  ASSERT_EQ(at_end.size(), 1u);
  EXPECT_EQ(at_end[0].text, full);
  EXPECT_TRUE(at_end[0].end);
}

TEST(ReadLine, SplitsALongerLineIntoPiecesOfTheLimit) {
  std::string line = std::string(kDataLineLimit, 'a') + std::string(5, 'b');
  auto lines = read_all(line + "\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, std::string(kDataLineLimit, 'a'));
  EXPECT_FALSE(lines[0].end);
  EXPECT_EQ(lines[1].text, "bbbbb");
  EXPECT_EQ(lines[2].text, "");
}

TEST(ReadLine, NeverWritesPastLimitPlusOne) {
  std::vector<char> buffer(8 + 1 + 4, 'G');
  FILE* f = stream_of(std::string(100, 'z'));
  EXPECT_FALSE(read_line(buffer.data(), 8, f));
  std::fclose(f);
  EXPECT_EQ(std::string(buffer.data()), std::string(8, 'z'));
  for (size_t i = 9; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 'G');
}

TEST(DataFileWriters, WriteTitleAndRecordsWithBareLineFeeds) {
  FILE* f = std::tmpfile();
  uninstall_data_file = f;
  write_line("My App 1.0");
  write_text("0");
  write_line("C:\\Apps\\My\\a.txt");
  write_text("3");
  write_line(LUME_UNINSTALL_KEY_PREFIX "My App 1.0");
  uninstall_data_file = nullptr;
  write_line("dropped: no file open");

  std::rewind(f);
  std::string content;
  for (int c; (c = std::fgetc(f)) != EOF;) content.push_back(static_cast<char>(c));
  std::fclose(f);
  // The prefix spelled out, as the data files of installed products hold
  // it: the one place where a change to LUME_UNINSTALL_KEY_PREFIX shows.
  EXPECT_EQ(content,
            "My App 1.0\n0C:\\Apps\\My\\a.txt\n"
            "3Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My App 1.0\n");
}

TEST(DataFileWriters, ByteWriterReportsCountOrZero) {
  FILE* f = std::tmpfile();
  EXPECT_EQ(write_bytes(f, "MZ\x90\x00", 4), 4u);
  std::fclose(f);
  FILE* read_only = std::tmpfile();
  std::fclose(read_only);
  FILE* ro = std::fopen("/dev/null", "rb");  // a stream that cannot be written
  ASSERT_NE(ro, nullptr);
  EXPECT_EQ(write_bytes(ro, "abc", 3), 0u);
  std::fclose(ro);
}
