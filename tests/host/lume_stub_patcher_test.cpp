#include <fmt/core.h>
#include <gtest/gtest.h>

#include <cstring>

#include "installer/config_block.h"
#include "tests/host/lume_test_files.h"
#include "tools/lume/base/error.h"
#include "tools/lume/stub/stub_patcher.h"

using namespace lume;

namespace {

const ConfigBlock& block_in(const std::vector<uint8_t>& stub) {
  return *reinterpret_cast<const ConfigBlock*>(stub.data() + lume_test::fake_stub_block_offset());
}

std::string refusal(std::vector<uint8_t> stub) {
  return lume_test::error_text([&] { find_config_block(stub, "stub.exe"); });
}

SlotValues values(size_t start_menu_rows, size_t desktop_rows) {
  SlotValues v;
  v[kAppTitleSlot].text = "Hi";
  v[kFolderNameSlot].text = "HelloFolder";
  v[kGroupNameSlot].text = "Hello Group";
  for (size_t k = 0; k < start_menu_rows; ++k)
    v[kStartMenuShortcutsSlot].rows.push_back(
        {fmt::format("S{}.lnk", k), fmt::format("s.exe /{}", k)});
  for (size_t k = 0; k < desktop_rows; ++k)
    v[kDesktopShortcutsSlot].rows.push_back({"D.lnk", "d.exe"});
  return v;
}

}  // namespace

TEST(StubPatcher, FindsTheBlockAtTheStartOfItsSection) {
  EXPECT_EQ(find_config_block(lume_test::fake_stub(), "stub.exe"),
            lume_test::fake_stub_block_offset());
}

TEST(StubPatcher, WritesValuesOverTheSlotsBeginnings) {
  std::vector<uint8_t> stub = lume_test::fake_stub();
  size_t length = stub.size();
  patch_stub(stub, values(3, 1), "stub.exe");
  ASSERT_EQ(stub.size(), length);
  const ConfigBlock& b = block_in(stub);
  EXPECT_STREQ(b.PayloadOffset, std::to_string(length).c_str());
  EXPECT_STREQ(b.AppTitle, "Hi");
  // The rest of the slot is left alone.
  EXPECT_STREQ(b.AppTitle + 3, kConfigSlots[kAppTitleSlot].key + 3);
  EXPECT_STREQ(b.FolderName, "HelloFolder");
  EXPECT_STREQ(b.GroupName, "Hello Group");
  EXPECT_EQ(b.RunAfterInstall[0], 0);  // empty: one zero byte
  EXPECT_STREQ(b.RunAfterInstall + 1, kConfigSlots[kRunAfterInstallSlot].key + 1);
  EXPECT_STREQ(b.StartMenuShortcuts[2].LinkName, "S2.lnk");
  EXPECT_STREQ(b.StartMenuShortcuts[2].FileField, "s.exe /2");
  EXPECT_STREQ(b.DesktopShortcuts[0].FileField, "d.exe");
  // The table ends where the list ends: every keyed row behind it is blanked.
  for (unsigned row = 3; row < kConfigSlots[kStartMenuShortcutsSlot].keyed_rows; ++row) {
    EXPECT_EQ(b.StartMenuShortcuts[row].LinkName[0], 0) << row;
    EXPECT_EQ(b.StartMenuShortcuts[row].FileField[0], 0) << row;
    EXPECT_EQ(b.StartMenuShortcuts[row].LinkName[1], '$') << row;
  }
  for (unsigned row = 1; row < kConfigSlots[kDesktopShortcutsSlot].keyed_rows; ++row)
    EXPECT_EQ(b.DesktopShortcuts[row].LinkName[0], 0);
  // Nothing outside the block changed.
  std::vector<uint8_t> fresh = lume_test::fake_stub();
  size_t block = lume_test::fake_stub_block_offset();
  EXPECT_TRUE(std::equal(stub.begin(), stub.begin() + block, fresh.begin()));
  EXPECT_TRUE(std::equal(stub.begin() + block + sizeof(ConfigBlock), stub.end(),
                         fresh.begin() + block + sizeof(ConfigBlock)));
}

TEST(StubPatcher, FillsAllSixteenRowsKeyedOrNot) {
  std::vector<uint8_t> stub = lume_test::fake_stub();
  patch_stub(stub, values(16, 16), "stub.exe");
  const ConfigBlock& b = block_in(stub);
  EXPECT_STREQ(b.StartMenuShortcuts[15].LinkName, "S15.lnk");
  EXPECT_STREQ(b.StartMenuShortcuts[10].FileField, "s.exe /10");
  EXPECT_STREQ(b.DesktopShortcuts[15].LinkName, "D.lnk");
}

TEST(StubPatcher, RefusesAStubWhoseKeysAreMissingOrOverwritten) {
  std::vector<uint8_t> stub = lume_test::fake_stub();
  patch_stub(stub, values(1, 0), "stub.exe");
  EXPECT_NE(refusal(stub).find("stub.exe: keys missing or already overwritten"), std::string::npos);

  size_t block = lume_test::fake_stub_block_offset();
  stub = lume_test::fake_stub();
  stub[block + offsetof(ConfigBlock, GroupName) + 5] = 'X';
  EXPECT_NE(refusal(stub).find("GroupName does not hold"), std::string::npos);

  stub = lume_test::fake_stub();
  stub[block + offsetof(ConfigBlock, DesktopShortcuts) + 7 * sizeof(ShortcutRow) +
       offsetof(ShortcutRow, FileField)] = 0;
  EXPECT_NE(refusal(stub).find("DesktopShortcuts 07 FileField does not hold"), std::string::npos);

  stub = lume_test::fake_stub();
  stub[block + offsetof(ConfigBlock, DesktopShortcuts) + 12 * sizeof(ShortcutRow)] = 'x';
  EXPECT_NE(refusal(stub).find("DesktopShortcuts 12 is not empty"), std::string::npos);

  stub = lume_test::fake_stub();
  stub.resize(block + sizeof(ConfigBlock) - 1);
  EXPECT_NE(refusal(stub).find("runs past the end"), std::string::npos);

  stub = lume_test::fake_stub();
  std::vector<uint8_t> twice = stub;
  std::memcpy(twice.data() + lume_test::section_header(twice, ".rdata"), ".lumecfg", 8);
  EXPECT_NE(refusal(twice).find("stub.exe: not a sound Lume stub: it has more than one .lumecfg"),
            std::string::npos);
  EXPECT_NE(refusal(std::vector<uint8_t>(4096, 'x')).find("not a Windows program"),
            std::string::npos);
}

TEST(StubPatcher, TakesTheBlockFromItsSectionWhateverElseLooksLikeOne) {
  // Keys copied into the code section in front of the real block are not
  // where the stub reads its block, so they are neither found nor written.
  std::vector<uint8_t> stub = lume_test::fake_stub();
  const size_t block = lume_test::fake_stub_block_offset();
  std::memcpy(stub.data() + 0x200, stub.data() + block, 0x300);
  patch_stub(stub, values(1, 0), "stub.exe");
  EXPECT_STREQ(block_in(stub).AppTitle, "Hi");
  EXPECT_EQ(std::memcmp(stub.data() + 0x200, LUME_KEY_PAYLOAD_OFFSET,
                        std::strlen(LUME_KEY_PAYLOAD_OFFSET)),
            0);
}
