#include <gtest/gtest.h>

#include "tests/host/lume_test_files.h"
#include "tools/lume/base/error.h"
#include "tools/lume/project/project_file.h"

using lume::Project;
using lume::read_project;

namespace {

class ProjectFile : public testing::Test {
 protected:
  Project read(const std::string& text) {
    lume_test::write_file(folder_ / "lume.toml", text);
    return read_project(folder_ / "lume.toml");
  }

  // The message a project file is refused with.
  std::string refusal(const std::string& text) {
    return lume_test::error_text([&] { read(text); });
  }

  lume_test::ScratchFolder folder_;
};

const char kMinimal[] = "title = \"T\"\nfolder = \"F\"\nsource = \"files\"\n";

}  // namespace

TEST_F(ProjectFile, ReadsEveryKey) {
  Project p = read(R"(title = "Lume Hello 1.0"
folder = "LumeHello"
group = "Group"
run_after_install = "hello.exe /x"
source = "product"
exclude = ["*.pdb"]
code_page = 1250
[[start_menu]]
name = "Hello.lnk"
target = "hello.exe"
arguments = ""
[[desktop]]
name = "Doc.lnk"
target = "doc/readme.txt"
)");
  EXPECT_EQ(p.title, "Lume Hello 1.0");
  EXPECT_EQ(p.folder_name, "LumeHello");
  EXPECT_EQ(p.group_name, "Group");
  EXPECT_EQ(p.run_after_install, "hello.exe /x");
  EXPECT_EQ(p.source, folder_ / "product");
  EXPECT_EQ(p.exclude, std::vector<std::string>{"*.pdb"});
  EXPECT_EQ(p.code_page, 1250);
  ASSERT_EQ(p.start_menu.size(), 1u);
  EXPECT_TRUE(p.start_menu[0].has_arguments);  // present though empty
  EXPECT_EQ(p.start_menu[0].line, 8);
  ASSERT_EQ(p.desktop.size(), 1u);
  EXPECT_FALSE(p.desktop[0].has_arguments);
  EXPECT_EQ(p.desktop[0].target, "doc/readme.txt");
}

TEST_F(ProjectFile, FillsInTheOptionalKeys) {
  Project p = read(kMinimal);
  EXPECT_EQ(p.group_name, "T");
  EXPECT_EQ(p.run_after_install, "");
  EXPECT_EQ(p.code_page, 1252);
  EXPECT_TRUE(p.start_menu.empty() && p.desktop.empty() && p.exclude.empty());
}

TEST_F(ProjectFile, RefusesAMissingOrMalformedFile) {
  EXPECT_NE(lume_test::error_text([&] { read_project(folder_ / "none.toml"); })
                .find("none.toml: cannot open: No such file or directory"),
            std::string::npos);
  std::string message = refusal("title = \"T\"\nfolder = \n");
  EXPECT_NE(message.find("lume.toml:2: not a valid project file"), std::string::npos) << message;
}

TEST_F(ProjectFile, RefusesUnknownAndMistypedKeys) {
  EXPECT_NE(
      refusal(std::string(kMinimal) + "titel = \"x\"\n").find("lume.toml:4: unknown key 'titel'"),
      std::string::npos);
  EXPECT_NE(refusal(std::string(kMinimal) +
                    "[[desktop]]\nname = \"a.lnk\"\ntarget = \"a\"\nargs = \"\"\n")
                .find("unknown key 'args' in a [[desktop]] table"),
            std::string::npos);
  EXPECT_NE(refusal("title = 5\nfolder = \"F\"\nsource = \"s\"\n").find("'title' must be a text"),
            std::string::npos);
  EXPECT_NE(refusal(std::string(kMinimal) + "code_page = \"1252\"\n").find("code page number"),
            std::string::npos);
  EXPECT_NE(refusal(std::string(kMinimal) + "desktop = 3\n").find("[[desktop]] tables"),
            std::string::npos);
  EXPECT_NE(refusal("title = \"T\"\nsource = \"s\"\n").find("the key 'folder' is missing"),
            std::string::npos);
  EXPECT_NE(refusal(std::string(kMinimal) + "[[start_menu]]\nname = \"a.lnk\"\n")
                .find("the key 'target' is missing"),
            std::string::npos);
}
