// What list and verify report of installers made to mislead them.
#include <fmt/core.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/host/lume_test_files.h"
#include "tests/support/payload_bytes.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/commands/build.h"
#include "tools/lume/commands/list.h"
#include "tools/lume/commands/shown_text.h"
#include "tools/lume/commands/verify.h"
#include "tools/lume/stub/stub_patcher.h"

using namespace lume;
namespace fs = std::filesystem;
using lume_test::write_file;

namespace {

constexpr std::string_view kOffsetKey = LUME_KEY_PAYLOAD_OFFSET;

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

  Installer parsed(std::vector<uint8_t> bytes) { return parse_installer(std::move(bytes), "x.exe"); }

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

TEST_F(Misleading, TheOffsetIsReadAsTheInstallerReadsItEvenWithoutItsKey) {
  // Leading blanks and a sign are what the installer's reading skips.
  const size_t block = lume_test::fake_stub_block_offset();
  std::string offset = " +" + std::to_string(lume_test::fake_stub().size());
  std::vector<uint8_t> bytes = real_;
  std::fill_n(bytes.begin() + std::ptrdiff_t(block), kPayloadOffsetWidth, 0);
  std::copy(offset.begin(), offset.end(), bytes.begin() + std::ptrdiff_t(block));
  Installer in = parsed(bytes);
  EXPECT_EQ(in.payload_offset, lume_test::fake_stub().size());
  EXPECT_EQ(in.slots.values.app_title, "Real Product");
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
      {with_level("highestAvailable"), "Execution level: highest available\n", nullptr},
      {"", "Execution level: none (no manifest)\n", "it carries no manifest"},
      {"<assembly/>", "Execution level: none\n", "its manifest requests no execution level"},
      {admin.substr(0, admin.size() - 2),
       "Execution level: none (the manifest does not parse: line 1: </assembl",
       "its manifest does not parse (line 1: </assembl"},
  };
  for (const Case& c : cases) {
    lume_test::write_fake_stub(folder_ / "stub.exe", c.manifest);
    std::vector<uint8_t> bytes = built("Level", "level.txt");
    std::string listed = list_text(parsed(bytes), 1252);
    EXPECT_NE(listed.find(c.listed), std::string::npos) << listed;
    std::string problems = joined(verified(bytes));
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
  EXPECT_EQ(in.slots.values.app_title, "Real Product");
  Behind behind;
  EXPECT_TRUE(verified(signed_bytes, &behind).empty());
  EXPECT_TRUE(behind.signature);
  EXPECT_EQ(behind.offset, real_.size());
  EXPECT_EQ(in.certificate_offset + in.certificate_size, signed_bytes.size());
  EXPECT_NE(list_text(in, 1252).find(fmt::format("Behind the stream: a signature of {} bytes",
                                                 signed_bytes.size() - real_.size())),
            std::string::npos);

  signed_bytes.push_back('j');
  std::vector<std::string> problems = verified(signed_bytes);
  ASSERT_EQ(problems.size(), 1u) << joined(problems);
  EXPECT_NE(problems[0].find("stray bytes"), std::string::npos) << problems[0];
}

namespace {

// A patched stub with the given texts and one file of that name; its
// stream is never decoded by list's text lines.
std::vector<uint8_t> hand_made(const SlotValues& values, const std::string& file_name) {
  std::vector<uint8_t> bytes = lume_test::fake_stub();
  patch_stub(bytes, values, "stub");
  std::vector<unsigned char> head = lume_test::header_and_directory({{file_name, 0}});
  bytes.insert(bytes.end(), head.begin(), head.end());
  return bytes;
}

}  // namespace

TEST(ListShowsTexts, WithEveryControlCharacterEscapedForTheTerminal) {
  SlotValues values;
  values.app_title = "Title\x1B]0;owned\x07\x1B[2J";
  values.folder_name = "Folder\rOver";
  values.start_menu = {{"Link\x1B[A.lnk", "prog.exe /x\x1B[K"}};
  values.run_after_install = "go\x7F.exe";
  std::string listed = list_text(parse_installer(hand_made(values, "a\x7F.txt"), "x.exe"), 1252);
  for (unsigned char c : listed)
    EXPECT_TRUE((c >= 0x20 && c != 0x7F) || c == '\n') << "raw control character " << int(c);
  EXPECT_NE(listed.find("Title\\x1B]0;owned\\x07\\x1B[2J"), std::string::npos) << listed;
  EXPECT_NE(listed.find("Folder\\x0DOver"), std::string::npos) << listed;
  EXPECT_NE(listed.find("Link\\x1B[A.lnk  ->  prog.exe  [arguments: /x\\x1B[K]"),
            std::string::npos)
      << listed;
  EXPECT_NE(listed.find("a\\x7F.txt"), std::string::npos) << listed;

  SlotValues c1;
  c1.app_title = "Csi\xC2\x9B" "2J";  // U+009B, a terminal's one-character escape
  std::string utf8 = list_text(parse_installer(hand_made(c1, "a.txt"), "x.exe"), 65001);
  EXPECT_NE(utf8.find("Csi\\u009B2J"), std::string::npos) << utf8;
}

TEST(ListShowsTexts, AsValidJsonWhateverThePathAndTheBytes) {
  SlotValues values;
  values.app_title = "T\x1B\"q\"";
  values.folder_name = "\xFF\xFE";  // no UTF-8 at all under code page 65001
  Installer in = parse_installer(hand_made(values, "a.txt"), "set\xFFup-\xC3.exe");
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
