#include <gtest/gtest.h>
#include <locale.h>
#include <wctype.h>

#include "tests/host/lume_test_files.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/project/payload_names.h"

using lume::payload_name;
using lume::refuse_case_collisions;

namespace {

// The message a name is refused with, or "" when it passes.
std::string refusal(const std::string& relative, int code_page = 1252) {
  return lume_test::error_text([&] { payload_name(relative, code_page, "src/" + relative); });
}

std::string collision(const std::vector<std::string>& names) {
  return lume_test::error_text([&] { refuse_case_collisions(names); });
}

}  // namespace

TEST(PayloadName, ConvertsToTheCodePageWithBackslashes) {
  EXPECT_EQ(payload_name("bin/app.exe", 1252, "x"), "bin\\app.exe");
  EXPECT_EQ(payload_name("Caf\xC3\xA9/na\xC3\xAFve \xE2\x82\xAC.txt", 1252, "x"),
            "Caf\xE9\\na\xEFve \x80.txt");
  EXPECT_EQ(payload_name("\xD0\x96.txt", 1251, "x"), "\xC6.txt");
}

TEST(PayloadName, RefusesCharactersTheCodePageCannotHold) {
  std::string message = refusal("bin/\xD0\x96.txt");
  EXPECT_NE(message.find("src/bin/\xD0\x96.txt"), std::string::npos) << message;
  EXPECT_NE(message.find("U+0416"), std::string::npos) << message;
  EXPECT_NE(message.find("code page 1252"), std::string::npos) << message;
  EXPECT_NE(refusal("bad\xFFname").find("not valid UTF-8"), std::string::npos);
  EXPECT_NE(refusal("overlong\xC0\xAF").find("not valid UTF-8"), std::string::npos);
}

TEST(PayloadName, RefusesBackslashesWhereverTheyHide) {
  EXPECT_NE(refusal("back\\slash").find("folder separator"), std::string::npos);
  // U+8868 is 0x95 0x5C in code page 932: its second byte reads as "\".
  EXPECT_NE(refusal("\xE8\xA1\xA8.txt", 932).find("folder separator"), std::string::npos);
  EXPECT_EQ(refusal("\xE3\x81\x82.txt", 932), "");
}

TEST(PayloadName, RefusesNamesTheInstallerRefuses) {
  EXPECT_NE(refusal("a:b.txt").find("installer refuses"), std::string::npos);
  EXPECT_NE(refusal("what?.txt").find("installer refuses"), std::string::npos);
  EXPECT_NE(refusal("dots./x").find("installer refuses"), std::string::npos);
  EXPECT_NE(refusal("tab\there").find("installer refuses"), std::string::npos);
}

TEST(PayloadName, HoldsNamesToTheLengthsOfDirectoryAndPath) {
  EXPECT_EQ(refusal(std::string(159, 'a')), "");
  std::string message = refusal(std::string(160, 'a'));
  EXPECT_NE(message.find("would pass 259"), std::string::npos) << message;
  EXPECT_NE(refusal(std::string(100, 'a') + "/" + std::string(59, 'b')).find("would pass 259"),
            std::string::npos);
  EXPECT_NE(refusal(std::string(256, 'a')).find("at most 255"), std::string::npos);
  // The length counts code-page bytes, not UTF-8 bytes: 159 e-acute take 318 in UTF-8.
  std::string accents;
  for (int i = 0; i < 159; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(refusal(accents), "");
}

TEST(CaseCollisions, RefusesNamesThatDifferOnlyInLetterCase) {
  EXPECT_EQ(collision({"Readme.txt", "bin/readme.txt", "B/x", "C/x"}), "");
  EXPECT_NE(collision({"Readme.txt", "README.TXT"}).find("differ only in letter case"),
            std::string::npos);
  EXPECT_NE(collision({"Docs/a.txt", "docs/b.txt"}).find("folders"), std::string::npos);
  EXPECT_NE(collision({"caf\xC3\xA9", "CAF\xC3\x89"}).find("letter case"), std::string::npos);
  EXPECT_NE(collision({"\xD0\xB4.txt", "\xD0\x94.TXT"}).find("letter case"), std::string::npos);
}

TEST(CaseCollisions, RefusesAFileWhereAFolderStands) {
  EXPECT_NE(collision({"docs", "Docs/a.txt"}).find("is a file"), std::string::npos);
}

// Each range the fold covers, one point past both its ends, against the
// system's lower case. U+0130 (capital I with a dot) is folded by Windows
// to no other letter.
TEST(CaseFold, LowersEveryCapitalOfItsRangesAndNothingPastThem) {
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
  ASSERT_NE(utf8, locale_t(0));
  for (auto [first, last] : {std::pair{0, 0x17F}, {0x390, 0x3AC}, {0x400, 0x430}}) {
    for (int32_t c = first; c <= last; ++c) {
      std::string text, lower;
      lume::append_utf8(text, c);
      lume::append_utf8(lower, c == 0x130 ? c : int32_t(towlower_l(wint_t(c), utf8)));
      EXPECT_EQ(lume::fold_case(text), lower) << std::hex << c;
    }
  }
  freelocale(utf8);
}
