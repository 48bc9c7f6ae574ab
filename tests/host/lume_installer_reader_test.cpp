#include <gtest/gtest.h>

#include "tests/host/lume_test_files.h"
#include "tests/support/payload_bytes.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/error.h"
#include "tools/lume/stub/pe_image.h"
#include "tools/lume/stub/stub_patcher.h"

using namespace lume;

namespace {

// A patched stub followed by a hand-made header and directory, and stream bytes.
std::vector<uint8_t> installer(const std::vector<lume_test::RawEntry>& entries,
                               const std::string& stream = "", bool pe32_plus = false) {
  std::vector<uint8_t> bytes = lume_test::fake_stub(pe32_plus);
  SlotValues values;
  values[kAppTitleSlot].text = "Title";
  values[kStartMenuShortcutsSlot].rows = {{"A.lnk", "a.exe /x"}, {"B.lnk", "b.txt"}};
  patch_stub(bytes, values, "stub");
  std::vector<unsigned char> head = lume_test::header_and_directory(entries);
  bytes.insert(bytes.end(), head.begin(), head.end());
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  return bytes;
}

Installer parsed(std::vector<uint8_t> bytes) {
  return parse_installer(std::move(bytes), "setup.exe", lume_test::fake_stubs());
}

std::string refusal(std::vector<uint8_t> bytes) {
  return lume_test::error_text([&] { parsed(std::move(bytes)); });
}

}  // namespace

TEST(InstallerReader, ReadsSlotsDirectoryAndStream) {
  lume_test::RawEntry a{"dir\\a.exe", 3, 0x12345678u, 1, 2, 3};
  Installer in = parsed(installer({a, {"b.txt", 0}}, "xyz"));
  EXPECT_EQ(in.payload_offset, lume_test::fake_stub().size());
  EXPECT_EQ(in.block_offset, lume_test::fake_stub_block_offset());
  EXPECT_EQ(in.slots.values[kAppTitleSlot].text, "Title");
  EXPECT_EQ(in.slots.values[kStartMenuShortcutsSlot].rows,
            (std::vector<ShortcutRowValue>{{"A.lnk", "a.exe /x"}, {"B.lnk", "b.txt"}}));
  EXPECT_TRUE(in.slots.values[kDesktopShortcutsSlot].rows.empty());
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

namespace {

// The section header named name in the fake stub's table.

}  // namespace

TEST(InstallerReader, ReadsTheBlockFromItsOwnSectionInPe32AndPe32Plus) {
  Installer in = parsed(installer({{"a.txt", 0}}, "", true));
  EXPECT_EQ(in.block_offset, lume_test::fake_stub_block_offset());
  EXPECT_EQ(in.slots.values[kAppTitleSlot].text, "Title");

  // Another copy of the keys earlier in the file is no block of the stub's.
  std::vector<uint8_t> bytes = installer({{"a.txt", 0}});
  std::vector<uint8_t> keyed = lume_test::fake_stub();
  std::copy_n(keyed.begin() + std::ptrdiff_t(lume_test::fake_stub_block_offset()), 64,
              bytes.begin() + 0x200);
  EXPECT_EQ(parsed(bytes).slots.values[kAppTitleSlot].text, "Title");
}

TEST(InstallerReader, ReadsWhatTheLoaderMapsAsTheSectionsBytes) {
  // A section whose file bytes end inside the block: the loader fills the
  // rest with zeros, so the title's slot, the first behind the file bytes
  // given, reads as empty.
  std::vector<uint8_t> bytes = installer({{"a.txt", 0}});
  size_t header = lume_test::section_header(bytes, ".lumecfg");
  lume_test::put_le(bytes, header + 16, 32, 4);
  Installer in = parsed(bytes);
  EXPECT_EQ(in.payload_offset, lume_test::fake_stub().size());
  EXPECT_EQ(in.slots.values[kAppTitleSlot].text, "");
}

TEST(InstallerReader, RefusesFilesWithoutTheSectionOrCutWithinIt) {
  std::vector<uint8_t> bytes = installer({{"a.txt", 0}});
  size_t header = lume_test::section_header(bytes, ".lumecfg");
  std::vector<uint8_t> renamed = bytes;
  renamed[header + 1] = 'x';
  EXPECT_NE(refusal(renamed).find("setup.exe: not a Lume installer (it has no .lumecfg section)"),
            std::string::npos);

  std::vector<uint8_t> twice = bytes;
  std::memcpy(twice.data() + lume_test::section_header(twice, ".rdata"), ".lumecfg", 8);
  EXPECT_NE(refusal(twice).find("more than one .lumecfg section"), std::string::npos);

  std::vector<uint8_t> small = bytes;
  lume_test::put_le(small, header + 8, sizeof(ConfigBlock) - 1, 4);
  EXPECT_NE(refusal(small).find("the configuration block needs"), std::string::npos);

  std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 4000);
  EXPECT_NE(refusal(cut).find("setup.exe: cut short: its .lumecfg section ends at byte"),
            std::string::npos)
      << refusal(cut);

  std::vector<uint8_t> headless(bytes.begin(), bytes.begin() + 0x90);
  EXPECT_NE(refusal(headless).find("not a Windows program (it has no PE header)"),
            std::string::npos)
      << refusal(headless);
}

TEST(PeImage, RefusesAFileCutAnywhereInItsSectionTable) {
  for (bool pe32_plus : {false, true}) {
    const std::vector<uint8_t> stub = lume_test::fake_stub(pe32_plus);
    const size_t table = 0x80 + 24 + (pe32_plus ? 240 : 224), end = table + 4 * 40;
    for (size_t cut = table; cut <= end; ++cut) {
      std::string problem;
      std::optional<PeImage> image =
          read_pe_image(std::span<const uint8_t>(stub.data(), cut), problem);
      EXPECT_EQ(image ? image->sections.size() : 0u, cut == end ? 4u : 0u) << cut;
      EXPECT_EQ(problem, cut == end ? "" : "its section table lies outside the file") << cut;
    }
  }
}

TEST(InstallerReader, FindsTheCertificateTableInBothHeaderForms) {
  for (bool pe32_plus : {false, true}) {
    std::vector<uint8_t> bytes = installer({{"a.txt", 0}}, "", pe32_plus);
    const size_t entry = 0x80 + 24 + (pe32_plus ? 112 : 96) + 4 * 8;
    lume_test::put_le(bytes, entry, 0x1234, 4);
    lume_test::put_le(bytes, entry + 4, 0x56, 4);
    Installer in = parsed(bytes);
    EXPECT_EQ(in.certificate_offset, 0x1234u) << pe32_plus;
    EXPECT_EQ(in.certificate_size, 0x56u) << pe32_plus;
  }
}

// What the certificate table entry points at is called a certificate table
// only when its entries' headers are sound, and from the stream's end only
// across the up to seven zeros that align it; anything else is stray bytes.
TEST(InstallerReader, CallsOnlyASoundCertificateTableOne) {
  // Whether a 16-byte table behind the stream, its one entry's header
  // given, behind the zeros given, is called a certificate table.
  auto seen = [](uint32_t length, uint16_t revision, uint16_t type, size_t zeros) {
    std::vector<uint8_t> bytes = installer({{"a.txt", 0}});
    bytes.insert(bytes.end(), zeros, 0);
    const size_t table = bytes.size();
    bytes.resize(table + 16, 0xAB);
    lume_test::put_le(bytes, table, length, 4);
    lume_test::put_le(bytes, table + 4, revision, 2);
    lume_test::put_le(bytes, table + 6, type, 2);
    const size_t entry = 0x80 + 24 + 96 + 4 * 8;
    lume_test::put_le(bytes, entry, table, 4);
    lume_test::put_le(bytes, entry + 4, 16, 4);
    Behind behind = behind_stream(parsed(bytes), 0);
    EXPECT_EQ(behind.size, 16 + zeros);
    return behind.certificate_table;
  };
  for (size_t zeros = 0; zeros <= 8; ++zeros)
    EXPECT_EQ(seen(16, 0x0200, 2, zeros), zeros < 8) << zeros;
  for (uint16_t type = 0; type <= 5; ++type)
    EXPECT_EQ(seen(16, 0x0200, type, 0), type >= 1 && type <= 4) << type;
  for (uint16_t revision : {0x0000, 0x0100, 0x0200, 0x0300})
    EXPECT_EQ(seen(16, revision, 2, 0), revision == 0x0100 || revision == 0x0200) << revision;
  for (uint32_t length : {7u, 12u, 16u, 17u})
    EXPECT_EQ(seen(length, 0x0200, 2, 0), length == 12 || length == 16) << length;
}
