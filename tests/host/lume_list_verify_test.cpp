// What list and verify report of installers made to mislead them.
#include <fmt/core.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "tests/host/lume_test_files.h"
#include "tests/support/payload_bytes.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/commands/build.h"
#include "tools/lume/commands/build_refusals.h"
#include "tools/lume/commands/extract.h"
#include "tools/lume/commands/list.h"
#include "tools/lume/base/text.h"
#include "tools/lume/commands/verify.h"
#include "tools/lume/stub/stub_patcher.h"

using namespace lume;
namespace fs = std::filesystem;
using lume_test::write_file;

namespace {

constexpr std::string_view kOffsetKey = LUME_KEY_PAYLOAD_OFFSET;

Installer parsed_as(std::vector<uint8_t> bytes, const fs::path& name) {
  return parse_installer(std::move(bytes), name, lume_test::fake_stubs());
}

class Misleading : public testing::Test {
 protected:
  Misleading() : console_(ProgressStyle::none) {
    lume_test::write_fake_stub(folder_ / "stub.exe");
    real_ = built("Real Product", "real.txt");
  }

  // An installer of one file, built as lume builds it.
  std::vector<uint8_t> built(const std::string& title, const std::string& file) {
    fs::path project = folder_ / title / "lume.toml";
    write_file(project, fmt::format("title = \"{}\"\nfolder = \"F\"\nsource = \"src\"\n", title));
    write_file(folder_ / title / "src" / file, title + " contents");
    build_installer({project, folder_ / title / "setup.exe", folder_ / "stub.exe", 1}, console_);
    return lume_test::read_bytes(folder_ / title / "setup.exe");
  }

  Installer parsed(std::vector<uint8_t> bytes) { return parsed_as(std::move(bytes), "x.exe"); }

  std::vector<std::string> verified(const std::vector<uint8_t>& bytes, Behind* behind = nullptr) {
    return verify_installer(parsed(bytes), 1252, console_, behind);
  }

  static std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
  }

  void save(const fs::path& path, const std::vector<uint8_t>& bytes) {
    write_file(path, std::string(bytes.begin(), bytes.end()));
  }

  lume_test::ScratchFolder folder_;
  Console console_;
  std::vector<uint8_t> real_;
};

// The decoy: the real PayloadOffset keeps its digits and terminator but
// loses what was left of its key, and a harmless installer's block, keyed
// again and pointing at its own payload, follows the real stream.
std::vector<uint8_t> with_decoy(std::vector<uint8_t> real, const std::vector<uint8_t>& harmless) {
  const size_t block = lume_test::fake_stub_block_offset();
  size_t digits = std::strlen(reinterpret_cast<const char*>(real.data() + block));
  std::fill_n(real.begin() + std::ptrdiff_t(block + digits), kPayloadOffsetWidth - digits, 0);

  std::vector<uint8_t> decoy(harmless.begin() + std::ptrdiff_t(block),
                             harmless.begin() + std::ptrdiff_t(block + sizeof(ConfigBlock)));
  std::string offset = std::to_string(real.size() + decoy.size());
  std::copy(kOffsetKey.begin(), kOffsetKey.end(), decoy.begin());
  std::copy(offset.begin(), offset.end(), decoy.begin());
  decoy[offset.size()] = 0;
  real.insert(real.end(), decoy.begin(), decoy.end());
  real.insert(real.end(), harmless.begin() + std::ptrdiff_t(lume_test::fake_stub().size()),
              harmless.end());
  return real;
}

}  // namespace

TEST_F(Misleading, ADecoyBehindTheStreamShowsNeitherItsTitleNorItsFiles) {
  std::vector<uint8_t> bytes = with_decoy(real_, built("Harmless Tool", "harmless.txt"));
  std::string listed = list_text(parsed(bytes), 1252);
  EXPECT_NE(listed.find("Real Product"), std::string::npos) << listed;
  EXPECT_NE(listed.find("real.txt"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("Harmless"), std::string::npos) << listed;
  EXPECT_NE(listed.find(fmt::format("Behind the stream: {} stray bytes at offset {}",
                                    bytes.size() - real_.size(), real_.size())),
            std::string::npos)
      << listed;

  std::vector<std::string> problems = verified(bytes);
  ASSERT_EQ(problems.size(), 1u) << joined(problems);
  EXPECT_NE(problems[0].find(fmt::format("stray bytes at offset {}", real_.size())),
            std::string::npos)
      << problems[0];
}

namespace {

// The decoy of a renamed section: the real block's section loses its name
// to a new one, behind the real stream, holding a harmless installer's block
// whose offset leads to its payload behind that.
std::vector<uint8_t> with_decoy_section(std::vector<uint8_t> real,
                                        const std::vector<uint8_t>& harmless) {
  const size_t stub_size = lume_test::fake_stub().size(), raw = lume_test::fake_stub_block_raw();
  const size_t header = lume_test::section_header(real, ".lumecfg");
  real[header + 7] = 'x';
  const size_t added = lume_test::section_header(real, ".rdata") + 40;
  lume_test::put_le(real, 0x80 + 6, 4, 2);  // four sections
  std::memcpy(real.data() + added, ".lumecfg", 8);
  lume_test::put_le(real, added + 8, sizeof(ConfigBlock), 4);
  lume_test::put_le(real, added + 12, 0x8000, 4);
  lume_test::put_le(real, added + 16, raw, 4);
  lume_test::put_le(real, added + 20, real.size(), 4);
  std::vector<uint8_t> block(raw, 0);
  const size_t at = lume_test::fake_stub_block_offset();
  std::copy_n(harmless.begin() + std::ptrdiff_t(at), sizeof(ConfigBlock), block.begin());
  std::string offset = std::to_string(real.size() + raw);
  std::copy(offset.begin(), offset.end() + 1, block.begin());
  real.insert(real.end(), block.begin(), block.end());
  real.insert(real.end(), harmless.begin() + std::ptrdiff_t(stub_size), harmless.end());
  return real;
}

}  // namespace

// lume knows its stubs by their image, not by a section's name; of a stub it
// does not know, it cannot say what the installer does.
TEST_F(Misleading, AnInstallerOfAStubLumeDoesNotKnowIsSaidToBeSoAndFailsVerify) {
  EXPECT_EQ(parsed(real_).stub, "fake x86");
  std::vector<uint8_t> bytes = with_decoy_section(real_, built("Harmless Tool", "harmless.txt"));
  Installer in = parsed(bytes);
  EXPECT_EQ(in.stub, "");
  EXPECT_NE(list_text(in, 1252).find("  Warning: stub not known to this lume: what it does "
                                     "cannot be shown"),
            std::string::npos);
  EXPECT_NE(list_json(in, 1252).find("\"stub\": null,"), std::string::npos);
  std::vector<std::string> problems = verified(bytes);
  EXPECT_EQ(problems.at(0), kUnknownStub) << joined(problems);
  EXPECT_EQ(lume_test::error_text([&] { extract_installer(in, folder_ / "out", 1252, console_); }),
            "x.exe: stub not known to this lume: what it does cannot be shown; give the stub it "
            "was made from with --stub");
  EXPECT_FALSE(fs::exists(folder_ / "out"));
  // Nor is an installer whose stub is left out of those lume knows.
  EXPECT_EQ(parse_installer(real_, "x.exe", {}).stub, "");
}

TEST_F(Misleading, TheOffsetIsReadAsTheInstallerReadsItEvenWithoutItsKey) {
  // Leading blanks and a sign are what the installer's reading skips.
  const size_t block = lume_test::fake_stub_block_offset();
  std::string offset = " +" + std::to_string(lume_test::fake_stub().size());
  std::vector<uint8_t> bytes = real_;
  std::fill_n(bytes.begin() + std::ptrdiff_t(block), kPayloadOffsetWidth, 0);
  std::copy(offset.begin(), offset.end(), bytes.begin() + std::ptrdiff_t(block));
  Installer in = parsed(bytes);
  EXPECT_EQ(in.payload_offset, lume_test::fake_stub().size());
  EXPECT_EQ(in.slots.values[kAppTitleSlot].text, "Real Product");
  EXPECT_TRUE(verified(bytes).empty());
}

TEST_F(Misleading, AnInstallerAsBuiltEndsWithItsStream) {
  Behind behind;
  EXPECT_TRUE(verified(real_, &behind).empty());
  EXPECT_EQ(behind.offset, real_.size());
  EXPECT_EQ(behind.size, 0u);
  EXPECT_NE(list_text(parsed(real_), 1252).find("Behind the stream: nothing"), std::string::npos);
  EXPECT_NE(list_json(parsed(real_), 1252)
                .find(fmt::format(R"("behind_stream": {{"kind": "nothing", "offset": {}, "size": 0}})",
                                  real_.size())),
            std::string::npos);
}

TEST_F(Misleading, StrayBytesFailVerifyAndAreListedWithTheirPlace) {
  std::vector<uint8_t> bytes = real_;
  bytes.insert(bytes.end(), 7, 'j');
  std::vector<std::string> problems = verified(bytes);
  ASSERT_EQ(problems.size(), 1u) << joined(problems);
  EXPECT_NE(problems[0].find(fmt::format("7 stray bytes at offset {}", real_.size())),
            std::string::npos)
      << problems[0];
  EXPECT_NE(list_json(parsed(bytes), 1252).find(R"("kind": "stray")"), std::string::npos);
}

// An installer built from a stub with each manifest: the level list shows,
// and what verify then says of it (nothing for a level it accepts).
TEST_F(Misleading, ListAndVerifyReportTheExecutionLevelTheManifestRequests) {
  const std::string admin = lume_test::program_manifest();
  auto with_level = [&](const char* level) {
    std::string text = admin;
    return text.replace(text.find("requireAdministrator"), 20, level);
  };
  struct Case {
    std::string manifest;
    const char* listed;
    const char* problem;
  };
  const Case cases[] = {
      {admin, "Execution level: administrator\n", nullptr},
      {with_level("asInvoker"), "Execution level: as invoker\n", nullptr},
      {"", "Execution level: none (no manifest)\n", "it carries no manifest"},
      {"<assembly/>", "Execution level: none\n", "its manifest requests no execution level"},
      {admin.substr(0, admin.size() - 2),
       "Execution level: none (the manifest does not parse: line 1: </assembl",
       "its manifest does not parse (line 1: </assembl"},
  };
  for (const Case& c : cases) {
    lume_test::write_fake_stub(folder_ / "stub.exe", c.manifest);
    std::vector<uint8_t> bytes = built("Level", "level.txt");
    // The stub it was made from is one lume knows.
    const KnownStub known[] = {describe_stub(lume_test::read_bytes(folder_ / "stub.exe"), "x86")};
    Installer in = parse_installer(bytes, "x.exe", known);
    std::string listed = list_text(in, 1252);
    EXPECT_NE(listed.find(c.listed), std::string::npos) << listed;
    std::string problems = joined(verify_installer(in, 1252, console_));
    if (c.problem)
      EXPECT_NE(problems.find(c.problem), std::string::npos) << c.listed << "\n" << problems;
    else
      EXPECT_EQ(problems, "") << c.listed;
  }
  EXPECT_NE(list_json(parsed(real_), 1252)
                .find("\"execution_level\": \"administrator\",\n  \"manifest_problem\": null"),
            std::string::npos);
}

// A throwaway certificate made here signs the installer as a product's
// maker would.
TEST_F(Misleading, ASignatureIsNamedAsSuchAndStrayBytesBehindItAreNot) {
  save(folder_ / "setup.exe", real_);
  std::string make_certificate = fmt::format(
      "cd '{}' && openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=LumeTest "
      "-keyout key.pem -out cert.pem >openssl.log 2>&1",
      folder_.path().string());
  ASSERT_EQ(std::system(make_certificate.c_str()), 0) << lume_test::read_file(folder_ / "openssl.log");
  std::string sign = fmt::format(
      "cd '{}' && osslsigncode sign -certs cert.pem -key key.pem -n 'Lume test' -in setup.exe "
      "-out signed.exe >sign.log 2>&1",
      folder_.path().string());
  ASSERT_EQ(std::system(sign.c_str()), 0) << lume_test::read_file(folder_ / "sign.log");

  std::vector<uint8_t> signed_bytes = lume_test::read_bytes(folder_ / "signed.exe");
  ASSERT_GT(signed_bytes.size(), real_.size());
  Installer in = parsed(signed_bytes);
  EXPECT_EQ(in.slots.values[kAppTitleSlot].text, "Real Product");
  Behind behind;
  EXPECT_TRUE(verified(signed_bytes, &behind).empty());
  EXPECT_TRUE(behind.certificate_table);
  EXPECT_EQ(behind.offset, real_.size());
  EXPECT_EQ(in.certificate_offset + in.certificate_size, signed_bytes.size());
  EXPECT_NE(list_text(in, 1252).find(fmt::format("Behind the stream: a certificate table (not "
                                                 "validated) of {} bytes",
                                                 signed_bytes.size() - real_.size())),
            std::string::npos);

  signed_bytes.push_back('j');
  std::vector<std::string> problems = verified(signed_bytes);
  ASSERT_EQ(problems.size(), 1u) << joined(problems);
  EXPECT_NE(problems[0].find("stray bytes"), std::string::npos) << problems[0];
}

namespace {

// A patched stub with the given texts and empty files of those names, the
// stream left out: list's text lines never decode it.
std::vector<uint8_t> hand_made(const SlotValues& values,
                               const std::vector<std::string>& file_names) {
  std::vector<uint8_t> bytes = lume_test::fake_stub();
  patch_stub(bytes, values, "stub");
  std::vector<lume_test::RawEntry> entries;
  for (const std::string& name : file_names) entries.push_back({name, 0});
  std::vector<unsigned char> head = lume_test::header_and_directory(entries);
  bytes.insert(bytes.end(), head.begin(), head.end());
  return bytes;
}

std::vector<uint8_t> hand_made(const SlotValues& values, const std::string& file_name) {
  return hand_made(values, std::vector<std::string>{file_name});
}

ConfigBlock& block_in(std::vector<uint8_t>& bytes) {
  return *reinterpret_cast<ConfigBlock*>(bytes.data() + lume_test::fake_stub_block_offset());
}

}  // namespace

TEST(ListShowsTexts, WithEveryControlCharacterEscapedForTheTerminal) {
  SlotValues values;
  values[kAppTitleSlot].text = "Title\x1B]0;owned\x07\x1B[2J";
  values[kFolderNameSlot].text = "Folder\rOver";
  values[kStartMenuShortcutsSlot].rows = {{"Link\x1B[A.lnk", "prog.exe /x\x1B[K"}};
  values[kRunAfterInstallSlot].text = "go\x7F.exe";
  std::string listed = list_text(parsed_as(hand_made(values, "a\x7F.txt"), "x.exe"), 1252);
  for (unsigned char c : listed)
    EXPECT_TRUE((c >= 0x20 && c != 0x7F) || c == '\n') << "raw control character " << int(c);
  EXPECT_NE(listed.find("Title\\x1B]0;owned\\x07\\x1B[2J"), std::string::npos) << listed;
  EXPECT_NE(listed.find("Folder\\x0DOver"), std::string::npos) << listed;
  EXPECT_NE(listed.find("Link\\x1B[A.lnk  ->  prog.exe  [arguments: /x\\x1B[K]"),
            std::string::npos)
      << listed;
  EXPECT_NE(listed.find("a\\x7F.txt"), std::string::npos) << listed;

  SlotValues c1;
  c1[kAppTitleSlot].text = "Csi\xC2\x9B" "2J";  // U+009B, a terminal's one-character escape
  std::string utf8 = list_text(parsed_as(hand_made(c1, "a.txt"), "x.exe"), 65001);
  EXPECT_NE(utf8.find("Csi\\u009B2J"), std::string::npos) << utf8;
}

TEST(ListShowsTexts, AsValidJsonWhateverThePathAndTheBytes) {
  SlotValues values;
  values[kAppTitleSlot].text = "T\x1B\"q\"";
  values[kFolderNameSlot].text = "\xFF\xFE";  // no UTF-8 at all under code page 65001
  Installer in = parsed_as(hand_made(values, "a.txt"), "set\xFFup-\xC3.exe");
  std::string json = list_json(in, 65001);
  EXPECT_NE(json.find(R"("file": "set)" "\xEF\xBF\xBD" R"(up-)" "\xEF\xBF\xBD" R"(.exe")"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("app_title": "T\u001b\"q\"")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("folder_name": "\\xFF\\xFE")"), std::string::npos) << json;
  std::string replaced;
  for (int k = 0; k < 9; ++k) replaced += "\xEF\xBF\xBD";
  EXPECT_EQ(json_string("\xED\xA0\x80" "\xF4\x90\x80\x80" "\xC0\xAF" "\xE2\x82\xAC"),
            "\"" + replaced + "\xE2\x82\xAC\"")
      << "a surrogate, a code point past U+10FFFF and an overlong form, byte by byte";
}

// What the installer reads of a slot without its terminator: on into the
// slots behind, or past the block's end. Each case fills one slot to its
// width; list shows the text that follows it and marks it, verify fails it.
TEST(ListShowsTexts, AsTheInstallerReadsThemOnPastASlotWithoutItsTerminator) {
  SlotValues values;
  const std::string length = std::to_string(lume_test::fake_stub().size());
  values[kAppTitleSlot].text = length;  // which PayloadOffset's digits run into
  values[kFolderNameSlot].text = "Folder";
  values[kStartMenuShortcutsSlot].rows = {{"A.lnk", "a.exe"}, {"B.lnk", "b.exe"}};
  for (int row = 0; row < kShortcutRows; ++row)
    values[kDesktopShortcutsSlot].rows.push_back({"D.lnk", "d.exe"});
  struct Case {
    std::function<void(ConfigBlock&)> fill;
    std::string shown, slot;
    unsigned width;
    std::string into;
  };
  const std::string digits(32, '0'), title(288, 'T'), field(260, 'f');
  const std::vector<Case> cases = {
      {[&](ConfigBlock& b) { std::memcpy(b.PayloadOffset, digits.data(), 32); },
       digits + length, "PayloadOffset", 32, "into AppTitle"},
      {[&](ConfigBlock& b) { std::memcpy(b.AppTitle, title.data(), 288); }, title + "Folder",
       "AppTitle", 288, "into FolderName"},
      {[&](ConfigBlock& b) { std::memcpy(b.StartMenuShortcuts[0].FileField, field.data(), 260); },
       field + "B.lnk", "StartMenuShortcuts 00 FileField", 260,
       "into StartMenuShortcuts 01 LinkName"},
      {[&](ConfigBlock& b) { std::memcpy(b.DesktopShortcuts[15].FileField, field.data(), 260); },
       field, "DesktopShortcuts 15 FileField", 260, "past the end of the block"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = hand_made(values, "a.txt");
    c.fill(block_in(bytes));
    Installer in = parsed_as(bytes, "x.exe");
    EXPECT_EQ(in.payload_offset, lume_test::fake_stub().size()) << c.slot;
    std::string listed = list_text(in, 1252);
    EXPECT_NE(listed.find(fmt::format("{}  [{}: no terminator within its {} bytes, read on {}]",
                                      c.shown, c.slot, c.width, c.into)),
              std::string::npos)
        << c.slot;
    EXPECT_EQ(build_refusals(in, 1252),
              std::vector<std::string>{fmt::format(
                  "{} has no terminator within its {} bytes; the installer reads on {}", c.slot,
                  c.width, c.into)});
  }
}

// Direction controls and invisible characters, from whatever code page:
// 0xFD and 0xFE are U+200E and U+200F in code page 1255.
TEST(ListShowsTexts, EscapingAndVerifyReportingCharactersThatMakeATextLookOtherThanItIs) {
  SlotValues values;
  values[kAppTitleSlot].text = "Invoice\xFD";
  values[kFolderNameSlot].text = "F";
  const std::vector<std::string> names = {"a\xFE.txt", "b.txt"};
  Installer in = parsed_as(hand_made(values, names), "x.exe");
  std::string listed = list_text(in, 1255);
  EXPECT_NE(listed.find("Invoice\\u200E\n"), std::string::npos) << listed;
  EXPECT_NE(listed.find("a\\u200F.txt\n"), std::string::npos) << listed;
  EXPECT_EQ(build_refusals(in, 1255),
            (std::vector<std::string>{
                "AppTitle holds U+200E (left-to-right mark), which turns the direction of the "
                "text around it: it would not read as it is",
                "the file name 'a\\u200F.txt' holds U+200F (right-to-left mark), which turns the "
                "direction of the text around it: it would not read as it is"}));
  values[kAppTitleSlot].text = "Lume\xC2\xA0" "1.0";  // a no-break space, in UTF-8
  EXPECT_NE(build_refusals(parsed_as(hand_made(values, "a.txt"), "x.exe"), 65001)
                .at(0)
                .find("AppTitle holds U+00A0 (no-break space), which shows as nothing or as a "
                      "plain blank"),
            std::string::npos);
}

TEST(ListShowsTexts, ANameTwiceAsSuchAndExtractRefusesItBeforeWritingAnything) {
  SlotValues values;
  values[kAppTitleSlot].text = "T";
  values[kFolderNameSlot].text = "F";
  const std::vector<std::string> names = {"a.txt", "b.txt", "a.txt"};
  Installer in = parsed_as(hand_made(values, names), "x.exe");
  EXPECT_EQ(build_refusals(in, 1252),
            std::vector<std::string>{
                "the payload holds 'a.txt' twice; the installer writes the second over the first"});
  lume_test::ScratchFolder folder;
  Console console(ProgressStyle::none);
  EXPECT_EQ(lume_test::error_text([&] { extract_installer(in, folder / "out", 1252, console); }),
            "x.exe: the payload holds 'a.txt' twice; the installer writes the second over the "
            "first");
  EXPECT_TRUE(fs::is_empty(folder / "out"));
}
