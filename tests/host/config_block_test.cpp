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

TEST(ConfigBlock, SlotsHoldTheirKeysAsBuilt) {
  EXPECT_STREQ(config.PayloadOffset, "$$InstallerProgramSize");
  EXPECT_STREQ(config.AppTitle, "$$ApplicationTitle");
  EXPECT_STREQ(config.FolderName, "$$DefaultProgramFolder");
  EXPECT_STREQ(config.GroupName, "$$StartMenuProgramGroup");
  EXPECT_STREQ(config.RunAfterInstall, "$$RunAfterInstall");
  for (int row = 0; row < kShortcutRows; ++row) {
    char nn[3] = {char('0' + row / 10), char('0' + row % 10), 0};
    if (row < kStartMenuKeyedRows) {
      EXPECT_EQ(std::string(config.StartMenuShortcuts[row].LinkName),
                std::string("$$StartMenuShortcutLink-") + nn);
      EXPECT_EQ(std::string(config.StartMenuShortcuts[row].FileField),
                std::string("$$StartMenuShortcutFile-") + nn);
    } else {
      EXPECT_EQ(config.StartMenuShortcuts[row].LinkName[0], 0) << row;
    }
    if (row < kDesktopKeyedRows) {
      EXPECT_EQ(std::string(config.DesktopShortcuts[row].LinkName),
                std::string("$$DesktopShortcutLink-") + nn);
    } else {
      EXPECT_EQ(config.DesktopShortcuts[row].LinkName[0], 0) << row;
    }
  }
}

TEST(ConfigBlock, EveryKeyIsUniqueInTheBlock) {
  // The building tool finds slots by their keys, so no key may occur twice.
  const char* bytes = reinterpret_cast<const char*>(&config);
  std::string block(bytes, sizeof config);
  for (const char* key : {"$$InstallerProgramSize", "$$ApplicationTitle", "$$DefaultProgramFolder",
                          "$$StartMenuProgramGroup", "$$RunAfterInstall",
                          "$$StartMenuShortcutLink-00", "$$DesktopShortcutFile-07"}) {
    std::string k(key);
    k.push_back('\0');
    size_t first = block.find(k);
    ASSERT_NE(first, std::string::npos) << key;
    EXPECT_EQ(block.find(k, first + 1), std::string::npos) << key;
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
