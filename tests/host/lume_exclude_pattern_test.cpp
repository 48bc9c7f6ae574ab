#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <random>
#include <string>
#include <string_view>

#include "tools/lume/project/exclude_pattern.h"

using lume::ExcludePatterns;
using lume::glob_matches;

namespace {

// The match on a thread of its own: a matcher that backtracks could run for
// years, so one that has not answered within a minute ends the program with
// a failure instead of hanging it.
bool matches_within_a_minute(const std::string& pattern, const std::string& path) {
  std::future<bool> answer = std::async(std::launch::async, [&] { return glob_matches(pattern, path); });
  if (answer.wait_for(std::chrono::minutes(1)) == std::future_status::ready) return answer.get();
  std::fprintf(stderr, "matching '%s' took more than a minute\n", pattern.c_str());
  std::_Exit(1);
}

// The meaning of a pattern stated the plain way, trying every stretch of
// every star: exponential, so only for short texts.
bool by_backtracking(std::string_view pattern, std::string_view path) {
  if (pattern.empty()) return path.empty();
  if (pattern.substr(0, 2) == "**") {
    std::string_view rest = pattern.substr(2);
    if (rest.substr(0, 1) == "/" && by_backtracking(rest.substr(1), path)) return true;
    for (size_t skip = 0; skip <= path.size(); ++skip)
      if (by_backtracking(rest, path.substr(skip))) return true;
    return false;
  }
  if (pattern[0] == '*') {
    for (size_t skip = 0; skip <= path.size(); ++skip) {
      if (by_backtracking(pattern.substr(1), path.substr(skip))) return true;
      if (skip < path.size() && path[skip] == '/') break;
    }
    return false;
  }
  if (path.empty() || (pattern[0] == '?' ? path[0] == '/' : pattern[0] != path[0])) return false;
  return by_backtracking(pattern.substr(1), path.substr(1));
}

}  // namespace

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

TEST(GlobMatches, LetsADoubleStarAndItsSlashMatchNothingOnlyTogether) {
  EXPECT_TRUE(glob_matches("**/b", "b"));
  EXPECT_TRUE(glob_matches("**/b", "x/y/b"));
  EXPECT_FALSE(glob_matches("**/b", "xb"));
  EXPECT_FALSE(glob_matches("a/**/b", "a/xb"));
  EXPECT_TRUE(glob_matches("a**/b", "ab"));
  EXPECT_TRUE(glob_matches("a/**/", "a/"));
  EXPECT_FALSE(glob_matches("a/***/b", "a/b"));  // "**" then "*/": the slash stays
  EXPECT_TRUE(glob_matches("a/***/b", "a/x/b"));
}

TEST(GlobMatches, MeansWhatTryingEveryStretchOfEveryStarMeans) {
  std::mt19937 random(7);
  const std::string pattern_chars = "ab/**?", path_chars = "ab/";
  for (int i = 0; i < 20000; ++i) {
    std::string pattern, path;
    for (unsigned n = random() % 10; n > 0; --n) pattern += pattern_chars[random() % pattern_chars.size()];
    for (unsigned n = random() % 10; n > 0; --n) path += path_chars[random() % path_chars.size()];
    ASSERT_EQ(glob_matches(pattern, path), by_backtracking(pattern, path))
        << "'" << pattern << "' against '" << path << "'";
  }
}

// Backtracking took seconds for seven stars against a name of 143
// characters, and would take years for nine: every '_' is a place where
// each star could stop.
TEST(GlobMatches, AnswersAtOnceForManyStarsAgainstALongName) {
  std::string name(143, '_');
  EXPECT_FALSE(matches_within_a_minute("*_*_*_*_*_*_*_*_*.tmp", name));
  EXPECT_TRUE(matches_within_a_minute("*_*_*_*_*_*_*_*_*.tmp", name + ".tmp"));
  std::string path = std::string("a/").append(name).append("/b");
  EXPECT_FALSE(matches_within_a_minute("**_**_**_**_**_**_**_**_**.tmp", path));
  EXPECT_FALSE(matches_within_a_minute("*a*a*a*a*a*a*a*a*a*b", std::string(143, 'a')));
}

// A pattern of 400000 stars once recursed once per star and overflowed the
// stack.
TEST(GlobMatches, TakesAPatternOfAnyNumberOfStars) {
  const std::string stars(400000, '*');
  EXPECT_TRUE(matches_within_a_minute(stars, "bin/x/app.pdb"));
  EXPECT_TRUE(matches_within_a_minute(stars + ".pdb", "app.pdb"));
  EXPECT_FALSE(matches_within_a_minute(stars + ".pdb", "app.txt"));
  EXPECT_FALSE(matches_within_a_minute(std::string(stars).append("?"), ""));
  ExcludePatterns exclude({std::string(400001, '*') + ".tmp"});
  EXPECT_TRUE(exclude.excludes("docs/x.tmp"));
  EXPECT_FALSE(exclude.excludes("docs/x.txt"));
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
