#include <gtest/gtest.h>

#include <functional>

#include "tests/host/lume_test_files.h"
#include "tools/lume/base/error.h"
#include "tools/lume/stub/slot_values.h"

using namespace lume;

namespace {

Project project() {
  Project p;
  p.file = "lume.toml";
  p.title = "Lume Hello 1.0";
  p.folder_name = "LumeHello";
  p.group_name = "Lume Hello";
  p.group_given = true;
  p.title_line = 1;
  return p;
}

ProjectShortcut shortcut(const std::string& name, const std::string& target,
                         std::optional<std::string> arguments = std::nullopt) {
  ProjectShortcut s;
  s.link_name = name;
  s.target = target;
  s.has_arguments = arguments.has_value();
  s.arguments = arguments.value_or("");
  s.line = 7;
  return s;
}

const std::vector<std::string> kPayload = {"hello.exe", "docs/Readme.txt"};

std::string refusal(const Project& p) {
  std::vector<std::string> warnings;
  return lume_test::error_text([&] { make_slot_values(p, kPayload, warnings); });
}

}  // namespace

TEST(SlotValues, MakesFileFieldsAsTheInstallerSplitsThem) {
  Project p = project();
  p.start_menu = {shortcut("A.lnk", "hello.exe"), shortcut("B.lnk", "hello.exe", "/large"),
                  shortcut("C.lnk", "docs/readme.txt"), shortcut("D.lnk", "HELLO.EXE", "")};
  std::vector<std::string> warnings;
  SlotValues v = make_slot_values(p, kPayload, warnings);
  const std::vector<ShortcutRowValue>& rows = v[kStartMenuShortcutsSlot].rows;
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].file_field, "hello.exe");
  EXPECT_EQ(rows[1].file_field, "hello.exe /large");
  EXPECT_EQ(rows[2].file_field, "docs\\readme.txt");
  EXPECT_EQ(rows[3].file_field, "HELLO.EXE ");
  EXPECT_TRUE(warnings.empty()) << warnings[0];
  EXPECT_EQ(split_file_field("hello.exe /large").arguments, "/large");
  EXPECT_EQ(split_file_field("HELLO.EXE ").arguments, "");
  EXPECT_EQ(split_file_field("a.exe b.exe c").target, "a.exe");
  EXPECT_EQ(split_file_field("tool.exe").arguments, std::nullopt);
}

TEST(SlotValues, FillsASlotToItsLastByteAndNoFurther) {
  Project p = project();
  p.title = std::string(287, 'T');
  EXPECT_EQ(refusal(p), "");
  p.title += 'T';
  EXPECT_NE(
      refusal(p).find("title is 288 bytes long in code page 1252; its slot holds at most 287"),
      std::string::npos);
  p = project();
  p.run_after_install = std::string(286, 'x') + "\xC3\xA9";  // 287 bytes in the code page
  EXPECT_EQ(refusal(p), "");
}

TEST(SlotValues, RefusesTitlesThatWouldMisnameTheRegistryKey) {
  Project p = project();
  p.title = "";
  EXPECT_NE(refusal(p).find("'title' is empty"), std::string::npos);
  p.title = "..\\Other";
  EXPECT_NE(refusal(p).find("backslash"), std::string::npos);
  p = project();
  p.group_name = "A\\B";
  EXPECT_NE(refusal(p).find("group must be a single name"), std::string::npos) << refusal(p);
  p.group_name = "";
  EXPECT_EQ(refusal(p), "");
}

TEST(SlotValues, RefusesShortcutsTheInstallerWouldGetWrong) {
  auto with = [](std::vector<ProjectShortcut> rows) {
    Project p = project();
    p.desktop = std::move(rows);
    return refusal(p);
  };
  std::vector<ProjectShortcut> seventeen(17, shortcut("A.lnk", "hello.exe"));
  for (size_t k = 0; k < seventeen.size(); ++k) seventeen[k].link_name = std::to_string(k) + ".lnk";
  EXPECT_NE(with(seventeen).find("desktop lists 17 shortcuts; a table has 16 rows"),
            std::string::npos);
  seventeen.pop_back();
  EXPECT_EQ(with(seventeen), "");

  EXPECT_NE(
      with({shortcut("", "hello.exe")}).find("lume.toml:7: a desktop shortcut with an empty name"),
      std::string::npos);
  EXPECT_NE(with({shortcut("A", "hello.exe")}).find("must end in \".lnk\""), std::string::npos);
  EXPECT_NE(with({shortcut("Sub\\A.lnk", "hello.exe")}).find("single name"), std::string::npos);
  EXPECT_NE(
      with({shortcut("A.lnk", "hello.exe"), shortcut("a.LNK", "hello.exe")}).find("two shortcuts"),
      std::string::npos);
  EXPECT_NE(
      with({shortcut("A.lnk", "docs/readme.txt", "/x")}).find("arguments need a target ending in"),
      std::string::npos);
  EXPECT_NE(with({shortcut("A.lnk", "my.exe tools/x.exe")}).find("cut it short"),
            std::string::npos);
  EXPECT_NE(with({shortcut("A.lnk", "../outside.exe")}).find("not a usable name"),
            std::string::npos);
  EXPECT_NE(
      with({shortcut("A.lnk", "hello.exe", std::string(250, 'x'))}).find("slot holds at most 259"),
      std::string::npos);
}

TEST(SlotValues, WarnsOfTargetsThePayloadDoesNotHold) {
  Project p = project();
  p.start_menu = {shortcut("A.lnk", "missing.exe"), shortcut("U.lnk", "LumeUins.exe")};
  p.run_after_install = "setup.exe /quiet";
  std::vector<std::string> warnings;
  make_slot_values(p, kPayload, warnings);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("'setup.exe'"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[1].find("the target 'missing.exe' is not in the payload"), std::string::npos)
      << warnings[1];
}

TEST(SlotValues, EveryTextRefusesAControlCharacterNamingTheFileTheFieldAndTheCharacter) {
  struct Case {
    const char* field;
    std::function<void(Project&, const std::string&)> put;
  };
  const std::vector<Case> cases = {
      {"title", [](Project& p, const std::string& t) { p.title = t; }},
      {"folder", [](Project& p, const std::string& t) { p.folder_name = t; }},
      {"group", [](Project& p, const std::string& t) { p.group_name = t; }},
      {"run_after_install", [](Project& p, const std::string& t) { p.run_after_install = t; }},
      {"start_menu shortcut 'A\\x0AB.lnk' name",
       [](Project& p, const std::string& t) { p.start_menu = {shortcut(t + ".lnk", "hello.exe")}; }},
      {"desktop shortcut 'A.lnk' target",
       [](Project& p, const std::string& t) { p.desktop = {shortcut("A.lnk", t)}; }},
      {"desktop shortcut 'A.lnk' arguments",
       [](Project& p, const std::string& t) { p.desktop = {shortcut("A.lnk", "hello.exe", t)}; }},
  };
  for (const Case& c : cases) {
    Project p = project();
    c.put(p, "A\nB");
    std::string problem = refusal(p);
    EXPECT_NE(problem.find("lume.toml"), std::string::npos) << problem;
    EXPECT_NE(problem.find(c.field), std::string::npos) << c.field << ": " << problem;
    EXPECT_NE(problem.find("line feed (0x0A)"), std::string::npos) << problem;
  }
  for (const char* bad : {"A\tB", "A\x1b]0;x", "A\x7f", "\r"}) {
    Project p = project();
    p.title = bad;
    EXPECT_NE(refusal(p).find("control character"), std::string::npos) << refusal(p);
  }
}

TEST(SlotValues, ANulCannotCutATextShort) {
  Project p = project();
  p.title = std::string("Probe\0Hidden", 12);
  EXPECT_NE(refusal(p).find("title holds a control character, NUL (0x00), at byte 6"),
            std::string::npos)
      << refusal(p);
  p = project();
  p.desktop = {shortcut("A.lnk", std::string("hello.exe\0x", 11))};
  EXPECT_NE(refusal(p).find("NUL (0x00)"), std::string::npos) << refusal(p);
}

TEST(SlotValues, DeviceNamesAreRefusedAsFolderGroupAndShortcutNames) {
  Project p = project();
  p.folder_name = "Tools\\CON";
  EXPECT_NE(refusal(p).find("device name"), std::string::npos) << refusal(p);
  p = project();
  p.group_name = "nul";
  EXPECT_NE(refusal(p).find("device name"), std::string::npos) << refusal(p);
  p = project();
  p.start_menu = {shortcut("Aux.lnk", "hello.exe")};
  EXPECT_NE(refusal(p).find("device name"), std::string::npos) << refusal(p);
}

// Texts that would read otherwise than they are, and messages that must
// tell the problem without echoing a whole value or misnaming its cause.
TEST(SlotValues, RefusesDirectionControlsAndWarnsOfInvisibleCharacters) {
  Project p = project();
  p.desktop = {shortcut("Invoice\xE2\x80\xAE" "fdp.exe.lnk", "hello.exe")};  // U+202E
  EXPECT_NE(refusal(p).find("lume.toml:7: desktop shortcut 'Invoice\\u202Efdp.exe.lnk' name "
                            "holds U+202E (right-to-left override)"),
            std::string::npos)
      << refusal(p);
  p = project();
  p.code_page = 65001;
  p.title = "Lume\xE2\x80\x8B" "Hello";  // U+200B
  std::vector<std::string> warnings;
  EXPECT_EQ(make_slot_values(p, kPayload, warnings)[kAppTitleSlot].text,
            "Lume\xE2\x80\x8B" "Hello");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("lume.toml: title holds U+200B (zero width space)"),
            std::string::npos)
      << warnings[0];
}

TEST(SlotValues, MessagesNameTheTrueCauseAndCutLongValues) {
  Project p = project();
  p.title = "Lume.";  // stands in for the missing group, which may not end in a dot
  p.group_name = p.title;
  p.group_given = false;
  EXPECT_EQ(refusal(p),
            "lume.toml:1: the title, which stands in for the missing 'group', is not a usable "
            "name: a component ending in '.' or a blank; give 'group' a name of its own");

  p = project();
  p.code_page = 932;
  p.title = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";  // "ソフト": ソ is 0x83 0x5C
  EXPECT_NE(refusal(p).find("'title': in code page 932 the second byte of '\xE3\x82\xBD' (U+30BD) "
                            "is 0x5C, the byte of a backslash"),
            std::string::npos)
      << refusal(p);

  p = project();
  p.start_menu = {shortcut(std::string(10 << 20, 'x') + ".lnk", "hello.exe")};
  std::string cut = refusal(p);
  EXPECT_LT(cut.size(), 400u) << cut.substr(0, 400);
  EXPECT_NE(cut.find("xxx... (10485764 bytes in all)"), std::string::npos) << cut.substr(0, 400);
}
