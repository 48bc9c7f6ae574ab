#include <gtest/gtest.h>

#include "tools/lume/project/exclude_pattern.h"

using lume::ExcludePatterns;
using lume::glob_matches;

TEST(GlobMatches, KeepsSingleStarsInsideOneName) {
  EXPECT_TRUE(glob_matches("*.pdb", "app.pdb"));
  EXPECT_TRUE(glob_matches("a?c", "abc"));
  EXPECT_FALSE(glob_matches("*.pdb", "app.pdb.txt"));
  EXPECT_FALSE(glob_matches("docs/*.tmp", "docs/sub/x.tmp"));
  EXPECT_FALSE(glob_matches("a?c", "a/c"));
}

TEST(GlobMatches, LetsDoubleStarsSpanFolders) {
  EXPECT_TRUE(glob_matches("docs/**", "docs/sub/x.tmp"));
  EXPECT_TRUE(glob_matches("a/**/b", "a/b"));
  EXPECT_TRUE(glob_matches("a/**/b", "a/x/y/b"));
  EXPECT_FALSE(glob_matches("a/**/b", "a/x/y/c"));
}

TEST(ExcludePatterns, MatchesPlainNamesAtAnyDepth) {
  ExcludePatterns exclude({"*.pdb", "cache"});
  EXPECT_TRUE(exclude.excludes("app.pdb"));
  EXPECT_TRUE(exclude.excludes("bin/x/app.pdb"));
  EXPECT_TRUE(exclude.excludes("bin/cache"));
  EXPECT_FALSE(exclude.excludes("bin/cache.txt"));
}

TEST(ExcludePatterns, TiesPathsAndLeadingSlashesToTheSourceFolder) {
  ExcludePatterns exclude({"/notes", "docs/*.tmp", "build/"});
  EXPECT_TRUE(exclude.excludes("notes"));
  EXPECT_FALSE(exclude.excludes("sub/notes"));
  EXPECT_TRUE(exclude.excludes("docs/a.tmp"));
  EXPECT_FALSE(exclude.excludes("sub/docs/a.tmp"));
  EXPECT_TRUE(exclude.excludes("sub/build"));  // a trailing slash is only dropped
}
