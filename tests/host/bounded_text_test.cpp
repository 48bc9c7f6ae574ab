#include "common/bounded_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

TEST(BoundedText, JoinsPartsThatFit) {
  char out[32];
  EXPECT_TRUE(join_text(out, sizeof out, "C:\\Apps\\", "Hello\\", "a.txt"));
  EXPECT_STREQ(out, "C:\\Apps\\Hello\\a.txt");
  EXPECT_TRUE(join_text(out, sizeof out, "a", "b", "c", "d"));
  EXPECT_STREQ(out, "abcd");
  EXPECT_TRUE(join_text(out, sizeof out, "", ""));
  EXPECT_STREQ(out, "");
}

TEST(BoundedText, CutsAtCapacityAndNeverWritesPastIt) {
  char out[8 + 4];
  std::memset(out, 'X', sizeof out);
  EXPECT_FALSE(join_text(out, 8, "abcd", "efgh", "ijk"));
  EXPECT_STREQ(out, "abcdefg");
  EXPECT_EQ(out[8], 'X');  // guard bytes untouched

  EXPECT_TRUE(copy_text(out, 8, "1234567"));  // exactly fills: 7 + terminator
  EXPECT_FALSE(copy_text(out, 8, "12345678"));
  EXPECT_STREQ(out, "1234567");
  EXPECT_EQ(out[8], 'X');
}

TEST(BoundedText, AppendKeepsWhatIsThere) {
  char out[10] = "abc";
  EXPECT_TRUE(append_text(out, sizeof out, "def"));
  EXPECT_STREQ(out, "abcdef");
  EXPECT_FALSE(append_text(out, sizeof out, "ghijk"));
  EXPECT_STREQ(out, "abcdefghi");
  EXPECT_FALSE(append_text(out, sizeof out, "z"));
  EXPECT_STREQ(out, "abcdefghi");
}

TEST(BoundedText, AppendToAnUnterminatedBufferTerminatesIt) {
  char out[4 + 2] = {'a', 'b', 'c', 'd', 'X', 'X'};
  EXPECT_FALSE(append_text(out, 4, "e"));
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(out[4], 'X');  // guard bytes untouched
}

TEST(BoundedText, ZeroCapacityWritesNothing) {
  char out[1] = {'X'};
  EXPECT_FALSE(copy_text(out, 0, "a"));
  EXPECT_FALSE(join_text(out, 0, "a", "b"));
  EXPECT_EQ(out[0], 'X');
}

TEST(BoundedText, PrefixCopyStopsAtCountOrTerminator) {
  char out[16];
  EXPECT_TRUE(copy_text_prefix(out, sizeof out, "abcdef", 3));
  EXPECT_STREQ(out, "abc");
  EXPECT_TRUE(copy_text_prefix(out, sizeof out, "ab", 5));
  EXPECT_STREQ(out, "ab");
}

TEST(BoundedText, EndingTests) {
  EXPECT_TRUE(ends_with_backslash("C:\\"));
  EXPECT_FALSE(ends_with_backslash("C:\\Apps"));
  EXPECT_FALSE(ends_with_backslash(""));
  EXPECT_TRUE(ends_with_ignoring_case("SETUP.EXE", ".exe"));
  EXPECT_TRUE(ends_with_ignoring_case("setup.Exe", ".exe"));
  EXPECT_FALSE(ends_with_ignoring_case("setup", ".exe"));
  EXPECT_FALSE(ends_with_ignoring_case("exe", ".exe"));
  EXPECT_FALSE(ends_with_ignoring_case("setup.exe.bak", ".exe"));
}

TEST(BoundedText, LowersExactlyTheAsciiCapitals) {
  for (int c = 0; c < 256; ++c)
    EXPECT_EQ(lower_ascii(char(c)), char(std::tolower(c))) << c;  // the C locale's tolower
}
