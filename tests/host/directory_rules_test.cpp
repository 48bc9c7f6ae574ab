#include "payload/directory_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "tests/support/payload_bytes.h"

using lume_test::RawEntry;

namespace {

DirectoryProblem check(const std::vector<RawEntry>& entries, unsigned folder_length = 20,
                       int count_delta = 0, int total_delta = 0) {
  std::vector<unsigned char> dir = lume_test::directory_bytes(entries);
  uint32_t total = 0;
  for (const RawEntry& e : entries) total += e.size;
  return check_directory(dir.data(), static_cast<uint32_t>(dir.size()),
                         static_cast<uint32_t>(entries.size() + count_delta), total + total_delta,
                         folder_length);
}

NameProblem name_check(const std::string& name) {
  return check_entry_name(name.data(), static_cast<unsigned>(name.size()));
}

}  // namespace

TEST(DirectoryRules, AcceptsAWellFormedDirectory) {
  EXPECT_EQ(check({{"readme.txt", 10}, {"bin\\app.exe", 0}, {"bin\\data\\x.dat", 7}}), directory_ok);
  EXPECT_EQ(check({}), directory_ok);
  EXPECT_EQ(check({{"same", 1}, {"same", 2}}), directory_ok);  // duplicates are allowed
}

TEST(DirectoryRules, RefusesEntriesThatDoNotFitTheDirectory) {
  std::vector<RawEntry> two = {{"a", 1}, {"b", 2}};
  EXPECT_EQ(check(two, 20, +1), directory_overrun);     // a third entry that is not there
  EXPECT_EQ(check(two, 20, -1), directory_not_filled);  // the second entry left over

  // One entry cut at every length: inside its fields, right behind them,
  // inside its name. What lies past the cut reads as a name of 255 bytes.
  std::vector<unsigned char> dir = lume_test::directory_bytes({{"abc", 0}});
  for (size_t cut = 0; cut <= dir.size(); ++cut) {
    std::vector<unsigned char> part(dir.begin(), dir.begin() + std::ptrdiff_t(cut));
    part.resize(dir.size() + 256, 0xFF);
    EXPECT_EQ(check_directory(part.data(), static_cast<uint32_t>(cut), 1, 0, 20),
              cut == dir.size() ? directory_ok : directory_overrun)
        << cut;
  }
}

TEST(DirectoryRules, RefusesSizesThatDoNotAddUp) {
  EXPECT_EQ(check({{"a", 1}, {"b", 2}}, 20, 0, +1), directory_size_mismatch);
  EXPECT_EQ(check({{"a", 1}, {"b", 2}}, 20, 0, -1), directory_size_mismatch);
  // Sizes whose 32-bit sum wraps around to total_size.
  EXPECT_EQ(check({{"a", 0xFFFFFFFFu}, {"b", 2}}, 20, 0, 0), directory_size_mismatch);
}

TEST(DirectoryRules, TakesADirectoryThatFillsItsBufferAndNoMore) {
  for (uint32_t size : {uint32_t(kDirectoryBufferSize), uint32_t(kDirectoryBufferSize + 1)}) {
    std::vector<RawEntry> entries = lume_test::entries_filling(size);
    EXPECT_EQ(check(entries, 3),
              size == kDirectoryBufferSize ? directory_ok : directory_too_large)
        << size;
  }
}

TEST(DirectoryRules, RefusesBadNames) {
  EXPECT_EQ(check({{"ok", 0}, {"..\\evil", 0}}), directory_bad_name);
  EXPECT_EQ(check({{"", 0}}), directory_bad_name);
}

TEST(DirectoryRules, PathLimitCountsFolderAndName) {
  std::string name(239, 'n');
  EXPECT_EQ(check({{name, 0}}, 20), directory_ok);  // 20 + 239 = 259 characters
  EXPECT_EQ(check({{name + "n", 0}}, 20), directory_path_too_long);
  EXPECT_EQ(check({{std::string(255, 'n'), 0}}, 3), directory_ok);  // "C:\" + 255 = 258
}

TEST(EntryNames, AcceptsOrdinaryRelativeNames) {
  for (const char* ok : {"a", "readme.txt", "bin\\app.exe", "a b\\c d.txt", "x\\y\\z\\w",
                         ".hidden", "a..b", "\xe9t\xe9.txt"}) {
    EXPECT_EQ(name_check(ok), name_ok) << ok;
  }
}

TEST(EntryNames, RefusesEveryWayOutOfTheFolder) {
  EXPECT_EQ(name_check(""), name_empty);
  EXPECT_EQ(name_check("C:\\x"), name_has_drive);
  EXPECT_EQ(name_check("C:x"), name_has_drive);
  EXPECT_EQ(name_check("file.txt:stream"), name_has_drive);
  EXPECT_EQ(name_check("\\x"), name_leading_backslash);
  EXPECT_EQ(name_check("\\\\server\\share\\x"), name_leading_backslash);
  EXPECT_EQ(name_check("x\\"), name_trailing_backslash);
  EXPECT_EQ(name_check("a\\\\b"), name_empty_component);
  EXPECT_EQ(name_check(".\\x"), name_dot_component);
  EXPECT_EQ(name_check("a\\..\\..\\x"), name_dot_component);
  EXPECT_EQ(name_check(".."), name_dot_component);
  EXPECT_EQ(name_check("a/../../x"), name_has_forward_slash);
  EXPECT_EQ(name_check("x\\...\\y"), name_trailing_dot_or_blank);
  EXPECT_EQ(name_check("readme."), name_trailing_dot_or_blank);
  EXPECT_EQ(name_check("dir \\x"), name_trailing_dot_or_blank);
  EXPECT_EQ(name_check(std::string("a\0b", 3)), name_control_character);
  EXPECT_EQ(name_check("a\tb"), name_control_character);
  EXPECT_EQ(name_check("a\x1f" "b"), name_control_character);  // the last control character
  for (char reserved : {'<', '>', '"', '|', '?', '*'}) {
    EXPECT_EQ(name_check(std::string("a") + reserved + ".txt"), name_reserved_character)
        << reserved;
  }
}

TEST(EntryNames, WindowsDeviceNamesAreRefusedAtAnyLevelWithOrWithoutAnExtension) {
  for (const char* device :
       {"CON", "con", "Prn", "aux", "NUL", "COM1", "com9", "LPT1", "lpt9", "NUL.txt", "con.tar.gz",
        "CON .txt", "bin\\nul", "a\\b\\Aux.log", "LPT3\\readme.txt", "CONIN$", "conin$.txt",
        "CONOUT$", "ConOut$ .log", "x\\coNOUT$"})
    EXPECT_EQ(name_check(device), name_device_name) << device;
  // Stripped by Windows as it is by the rule; the component rule answers first.
  EXPECT_TRUE(is_device_name("nul. .", 6));
  EXPECT_TRUE(is_device_name("CON  ", 5));
  EXPECT_EQ(name_check("aux."), name_trailing_dot_or_blank);
}

TEST(EntryNames, NamesThatMerelyBeginOrEndLikeADeviceAreFine) {
  for (const char* fine : {"CONSOLE", "console.txt", "nul_", "xnul", "COM10", "LPT", "com",
                           "LPT1x.txt", "auxiliary\\a", "my.con", "a.nul", "PRN_\\x", "COM\\1",
                           "CONIN", "CONIN$$", "CONOUT", "CONOUT$x", "CONIN%", "CONOUT4",
                           "COM\xB9x", "COM\xC2\xB9\xB9"})
    EXPECT_EQ(name_check(fine), name_ok) << fine;
  EXPECT_STRNE(name_problem_text(name_device_name), "unknown problem");
}

// The port after COM and LPT, over every byte: the digits 0 to 9 and the
// superscripts one to three, as code page bytes and as UTF-8.
TEST(EntryNames, PortsAreTheDigitsAndTheSuperscriptsOneToThree) {
  auto superscript = [](int c) { return c == 0xB9 || c == 0xB2 || c == 0xB3; };
  for (const char* stem : {"COM", "lpt", "Com"}) {
    for (int c = 1; c < 256; ++c) {
      const std::string single = std::string(stem) + char(c);
      const bool port = (c >= '0' && c <= '9') || superscript(c);
      EXPECT_EQ(is_device_name(single.data(), unsigned(single.size())), port) << stem << " " << c;
      const std::string utf8 = std::string(stem) + '\xC2' + char(c);
      EXPECT_EQ(is_device_name(utf8.data(), unsigned(utf8.size())), superscript(c))
          << stem << " C2 " << c;
    }
  }
}

TEST(Directories, ADeviceNameMakesTheDirectoryBad) {
  EXPECT_EQ(check({{"bin\\NUL.dll", 3}, {"a.txt", 1}}), directory_bad_name);
}
