// Texts from files, shown by the tool: what is escaped, over every code
// point, and how a long value is cut.
#include "tools/lume/base/text.h"

#include <fmt/core.h>
#include <gtest/gtest.h>

#include <set>

using namespace lume;

TEST(EscapedText, EscapesExactlyTheCharactersThatActOnTheTerminalOrHideThemselves) {
  const std::set<int32_t> hiding = {0x00A0, 0x00AD, 0x061C, 0x200B, 0x200C, 0x200D, 0x200E,
                                    0x200F, 0x2028, 0x2029, 0x202A, 0x202B, 0x202C, 0x202D,
                                    0x202E, 0x2060, 0x2066, 0x2067, 0x2068, 0x2069, 0xFEFF};
  for (int32_t c = 0; c < 0x30000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string utf8;
    append_utf8(utf8, c);
    std::string expected = utf8;
    if (c < 0x20 || c == 0x7F) expected = fmt::format("\\x{:02X}", c);
    if ((c >= 0x80 && c <= 0x9F) || hiding.count(c)) expected = fmt::format("\\u{:04X}", c);
    ASSERT_EQ(escaped_text(utf8), expected) << std::hex << c;
    ASSERT_EQ(json_string(utf8) == "\"" + utf8 + "\"", expected == utf8 && c != '"' && c != '\\')
        << std::hex << c;
    ASSERT_EQ(hidden_character("it", utf8).has_value(), hiding.count(c) == 1) << std::hex << c;
  }
  EXPECT_EQ(escaped_text("a\nb\n", LineFeeds::keep), "a\nb\n");
  EXPECT_EQ(escaped_text("\xC3(\xE2\x82"), "\\xC3(\\xE2\\x82");  // no UTF-8: byte by byte
}

TEST(QuotedValue, CutsAfterItsCharactersSayingHowLongTheValueIs) {
  std::string letters;
  for (int k = 0; k < 100; ++k) letters += "\xC3\xA9";
  std::string first;
  for (size_t k = 0; k < kQuotedCharacters; ++k) first += "\xC3\xA9";
  EXPECT_EQ(quoted_value(letters), first + "... (200 bytes in all)");
  EXPECT_EQ(quoted_value(first), first);
}
