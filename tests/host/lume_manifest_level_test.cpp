// How the tool reads the execution level out of a manifest's XML, and which
// manifests it finds do not parse.
#include <gtest/gtest.h>

#include "tools/lume/stub/manifest_level.h"

using namespace lume;

namespace {

const std::string kLevelInTrust =
    "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v2\"><security><requestedPrivileges>"
    "<requestedExecutionLevel level=\"LEVEL\" uiAccess=\"false\"/>"
    "</requestedPrivileges></security></trustInfo>";

std::string assembly(const std::string& inside, const std::string& level = "requireAdministrator") {
  std::string trust = kLevelInTrust;
  trust.replace(trust.find("LEVEL"), 5, level);
  std::string body = inside;
  if (size_t at = body.find("TRUST"); at != std::string::npos) body.replace(at, 5, trust);
  return "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">" + body +
         "</assembly>";
}

}  // namespace

TEST(ManifestLevel, ReadsTheLevelOfWellFormedManifests) {
  struct Case {
    std::string text;
    ExecutionLevel level;
  };
  const Case cases[] = {
      {assembly("TRUST"), ExecutionLevel::administrator},
      {assembly("TRUST", "asInvoker"), ExecutionLevel::as_invoker},
      {assembly("TRUST", "highestAvailable"), ExecutionLevel::highest_available},
      // A byte-order mark, a declaration, comments, blanks, single quotes,
      // references and character data where XML allows them.
      {"\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\n<!-- made by hand -->\n" +
           assembly("<description a='&lt;&#65;&#x42;&amp;'>x<![CDATA[<&]]></description>\n TRUST "),
       ExecutionLevel::administrator},
      // Prefixed names, as some tools write them.
      {"<asmv1:assembly xmlns:asmv1=\"urn:schemas-microsoft-com:asm.v1\"><v3:trustInfo "
       "xmlns:v3=\"urn:schemas-microsoft-com:asm.v3\"><v3:security><v3:requestedPrivileges>"
       "<v3:requestedExecutionLevel level=\"asInvoker\"></v3:requestedExecutionLevel>"
       "</v3:requestedPrivileges></v3:security></v3:trustInfo></asmv1:assembly>",
       ExecutionLevel::as_invoker},
      // A level outside trustInfo requests none.
      {assembly("<security><requestedPrivileges><requestedExecutionLevel "
                "level=\"requireAdministrator\"/></requestedPrivileges></security>"),
       ExecutionLevel::none},
  };
  for (const Case& c : cases) {
    ManifestLevel read = level_in_manifest(c.text);
    EXPECT_EQ(read.problem, "") << c.text;
    EXPECT_EQ(read.level, c.level) << c.text;
    EXPECT_TRUE(read.has_manifest);
  }
}

TEST(ManifestLevel, SaysWhyAManifestDoesNotParse) {
  struct Case {
    std::string text;
    const char* problem;
  };
  const Case cases[] = {
      {"", "line 1: there is no root element"},
      {assembly("TRUST") + "x", "text outside the root element"},
      {assembly("TRUST") + "<assembly/>", "a second root element"},
      {"<trustInfo/>", "the root element is <trustInfo>, not <assembly>"},
      {assembly("<security>"), "</assembly> closes <security>"},
      {assembly("TRUST").substr(0, assembly("TRUST").size() - 11), "<assembly> is not closed"},
      {assembly("<!-- open"), "a comment is not closed"},
      {"<!DOCTYPE assembly>" + assembly("TRUST"), "a declaration"},
      {assembly("<a b=c/>"), "the value of b is not in quotes"},
      {assembly("<a b=\"1\" b=\"2\"/>"), "<a> names the attribute b twice"},
      {assembly("<a b=\"x<y\"/>"), "'<' inside an attribute's value"},
      {assembly("<a>fish &chips;</a>"), "an '&' that starts no reference"},
      {assembly("TRUST", "king"), "the unknown execution level \"king\""},
      {assembly("TRUST", "\x1B[2Jx"), "the unknown execution level \"\\x1B[2Jx\""},
      {assembly("<trustInfo><security><requestedPrivileges><requestedExecutionLevel/>"
                "</requestedPrivileges></security></trustInfo>"),
       "requestedExecutionLevel names no level"},
  };
  for (const Case& c : cases) {
    ManifestLevel read = level_in_manifest(c.text);
    EXPECT_NE(read.problem.find(c.problem), std::string::npos)
        << c.text << "\n  gave: " << read.problem;
  }
}
