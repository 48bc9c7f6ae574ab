#include "installer/config_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "installer/message_text.h"

TEST(PayloadOffsetValue, ReadsLikeAtoi) {
  EXPECT_EQ(payload_offset_value("52736"), 52736);
  EXPECT_EQ(payload_offset_value("52736x"), 52736);
  EXPECT_EQ(payload_offset_value("  \t\n+42"), 42);
  EXPECT_EQ(payload_offset_value("-42"), -42);
  EXPECT_EQ(payload_offset_value("007"), 7);
  EXPECT_EQ(payload_offset_value("12 34"), 12);
}

TEST(PayloadOffsetValue, NoDigitsGiveZero) {
  EXPECT_EQ(payload_offset_value(""), 0);
  EXPECT_EQ(payload_offset_value("0"), 0);
  EXPECT_EQ(payload_offset_value(LUME_KEY_PAYLOAD_OFFSET), 0);
  EXPECT_EQ(payload_offset_value("x52736"), 0);
  EXPECT_EQ(payload_offset_value("+"), 0);
  EXPECT_EQ(payload_offset_value("- 5"), 0);
}

TEST(PayloadOffsetValue, SaturatesInsteadOfWrapping) {
  EXPECT_EQ(payload_offset_value("2147483647"), 2147483647L);
  EXPECT_EQ(payload_offset_value("2147483648"), 2147483647L);
  EXPECT_EQ(payload_offset_value("4294967296"), 2147483647L);  // would wrap to 0
  EXPECT_EQ(payload_offset_value("99999999999999999999999"), 2147483647L);
}

// The stub as built and the slot table that the building tool and the
// tests patch by must agree: each key stands at the start of its own slot,
// fits it, and occurs nowhere else in the block (the tool finds slots by
// keys); a table's rows behind its keyed ones start out empty.
TEST(ConfigBlock, EverySlotsKeyStandsOnceAtTheStartOfItsSlot) {
  const std::string block(reinterpret_cast<const char*>(&config), sizeof config);
  auto expect_key = [&](const std::string& key, size_t offset, size_t width) {
    ASSERT_LT(key.size(), width) << key;
    EXPECT_EQ(block.compare(offset, key.size() + 1, key + '\0'), 0) << key;
    EXPECT_EQ(block.find(key), offset) << key;
    EXPECT_EQ(block.rfind(key), offset) << key;
  };
  for (const ConfigSlot& slot : kConfigSlots) {
    if (slot.kind != slot_shortcut_rows) {
      expect_key(slot.key, slot.offset, slot.size);
      continue;
    }
    for (unsigned row = 0; row < kShortcutRows; ++row) {
      const size_t at = slot.offset + row * sizeof(ShortcutRow);
      char digits[3] = {char('0' + row / 10), char('0' + row % 10), 0};
      if (row >= slot.keyed_rows) {
        EXPECT_EQ(block.substr(at, sizeof(ShortcutRow)), std::string(sizeof(ShortcutRow), '\0'))
            << slot.name << row;
        continue;
      }
      expect_key(std::string(slot.key) + digits, at + offsetof(ShortcutRow, LinkName),
                 kShortcutFieldWidth);
      expect_key(std::string(slot.file_key) + digits, at + offsetof(ShortcutRow, FileField),
                 kShortcutFieldWidth);
    }
  }
}

TEST(MessageText, SetupCaptionOfTheLongestTitleFits) {
  std::string title(287, 't');
  char caption[kSetupCaptionSize];
  compose_setup_caption(caption, title.c_str());
  EXPECT_EQ(std::strlen(caption), 293u);
  EXPECT_EQ(std::string(caption), title + " Setup");
}

TEST(MessageText, ErrorTextKeepsPrefixAndStartAndNeverOverflows) {
  char text[kErrorTextSize + 8];
  std::memset(text, 'X', sizeof text);
  compose_error_text(text, "Cannot create uninstall program.");
  EXPECT_STREQ(text, "Error: Cannot create uninstall program.");

  std::string path = "Cannot create file:\n    C:\\" + std::string(400, 'p');
  std::memset(text, 'X', sizeof text);
  compose_error_text(text, path.c_str());
  EXPECT_EQ(std::strlen(text), size_t(kErrorTextSize - 1));
  EXPECT_EQ(std::string(text, 7), "Error: ");
  EXPECT_EQ(std::string(text + 7, 25), path.substr(0, 25));
  EXPECT_EQ(text[kErrorTextSize], 'X');
}

TEST(ArgumentsMark, SplitsAtTheFirstExeAndBlankInAnyCase) {
  struct Case {
    const char* field;
    const char* target;     // what stands before the mark
    const char* arguments;  // null: none
  };
  for (const Case& c : {Case{"tool.exe", "tool.exe", nullptr},
                        Case{"TOOL.EXE /s", "TOOL.EXE", "/s"},
                        Case{"a.exe b.exe c", "a.exe", "b.exe c"},
                        Case{"tool.exe ", "tool.exe", ""},
                        Case{"readme.txt", "readme.txt", nullptr},
                        Case{"My.Exe Files\\run.exe -x", "My.Exe", "Files\\run.exe -x"},
                        Case{"exe .exe", "exe .exe", nullptr},
                        Case{".ex .exe x", ".ex .exe", "x"}}) {
    const char* mark = arguments_mark(c.field);
    if (c.arguments == nullptr) {
      EXPECT_EQ(mark, nullptr) << c.field;
      continue;
    }
    ASSERT_NE(mark, nullptr) << c.field;
    EXPECT_EQ(*mark, ' ');
    EXPECT_EQ(std::string(c.field, size_t(mark - c.field)), c.target);
    EXPECT_STREQ(mark + 1, c.arguments);
  }
}

TEST(SlotTexts, EveryControlCharacterIsFoundAndNamed) {
  EXPECT_EQ(first_control_character("Probe 1.0", 9), -1);
  EXPECT_EQ(first_control_character("", 0), -1);
  EXPECT_EQ(first_control_character("Probe\n0Evil", 11), 5);
  EXPECT_EQ(first_control_character("Probe\0Cut", 9), 5);  // the length, not the terminator
  for (int c = 0; c < 0x20; ++c) {
    char text[] = {'a', char(c), 'b'};
    EXPECT_EQ(first_control_character(text, 3), 1) << c;
  }
  EXPECT_EQ(first_control_character("a\x7f", 2), 1);
  // Code-page letters above 0x7F are texts like any other.
  EXPECT_EQ(first_control_character("Caf\xe9 \x80\xff", 7), -1);
  EXPECT_STREQ(control_character_name('\n'), "line feed");
  EXPECT_STREQ(control_character_name(0), "NUL");
  EXPECT_STREQ(control_character_name(0x7F), "delete");
  EXPECT_STREQ(control_character_name(0x01), "control character");
}
