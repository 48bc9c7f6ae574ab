#include <gtest/gtest.h>

#include "tests/host/lume_test_files.h"
#include "tests/support/payload_bytes.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/error.h"
#include "tools/lume/stub/stub_patcher.h"

using namespace lume;

namespace {

// A patched stub followed by a hand-made header and directory, and stream bytes.
std::vector<uint8_t> installer(const std::vector<lume_test::RawEntry>& entries,
                               const std::string& stream = "") {
  std::vector<uint8_t> bytes = lume_test::fake_stub();
  SlotValues values;
  values.app_title = "Title";
  values.start_menu = {{"A.lnk", "a.exe /x"}, {"B.lnk", "b.txt"}};
  patch_stub(bytes, values, "stub");
  std::vector<unsigned char> head = lume_test::header_and_directory(entries);
  bytes.insert(bytes.end(), head.begin(), head.end());
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  return bytes;
}

std::string refusal(std::vector<uint8_t> bytes) {
  try {
    parse_installer(std::move(bytes), "setup.exe");
    return "";
  } catch (const Error& e) {
    return e.what();
  }
}

}  // namespace

TEST(InstallerReader, ReadsSlotsDirectoryAndStream) {
  lume_test::RawEntry a{"dir\\a.exe", 3, 0x12345678u, 1, 2, 3};
  Installer in = parse_installer(installer({a, {"b.txt", 0}}, "xyz"), "setup.exe");
  EXPECT_EQ(in.payload_offset, lume_test::fake_stub().size());
  EXPECT_EQ(in.block_offset, lume_test::fake_stub_block_offset());
  EXPECT_EQ(in.slots.values.app_title, "Title");
  EXPECT_EQ(in.slots.values.start_menu,
            (std::vector<ShortcutRowValue>{{"A.lnk", "a.exe /x"}, {"B.lnk", "b.txt"}}));
  EXPECT_TRUE(in.slots.values.desktop.empty());
  ASSERT_EQ(in.files.size(), 2u);
  EXPECT_EQ(in.files[0].name, "dir\\a.exe");
  EXPECT_EQ(in.files[0].check, 0x12345678u);
  EXPECT_EQ(in.files[0].times, (FileTimes{1, 2, 3}));
  EXPECT_EQ(in.header.total_size, 3u);
  EXPECT_EQ(std::string(in.stream().begin(), in.stream().end()), "xyz");
}

TEST(InstallerReader, RefusesWhatIsNoSoundInstaller) {
  EXPECT_NE(refusal(lume_test::fake_stub()).find("setup.exe: an unconfigured stub"),
            std::string::npos);
  EXPECT_NE(refusal(std::vector<uint8_t>(5000, 'x')).find("not a Lume installer"),
            std::string::npos);

  std::vector<uint8_t> cut = installer({{"a.txt", 3}});
  cut.resize(cut.size() - 2);
  EXPECT_NE(refusal(cut).find("cut short"), std::string::npos);
  cut.resize(lume_test::fake_stub().size() + 5);
  EXPECT_NE(refusal(cut).find("lies outside the file"), std::string::npos);

  EXPECT_NE(
      refusal(installer({{"..\\evil.txt", 1}}, "x")).find("a file name the installer refuses"),
      std::string::npos);
  EXPECT_NE(refusal(installer({{"C:\\evil.txt", 1}}, "x")).find("refuses"), std::string::npos);
  std::vector<uint8_t> wrong_total = installer({{"a.txt", 3}});
  wrong_total[lume_test::fake_stub().size() + 4] = 4;
  EXPECT_NE(refusal(wrong_total).find("do not add up"), std::string::npos);
}
