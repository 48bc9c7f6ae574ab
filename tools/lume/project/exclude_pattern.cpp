#include "tools/lume/project/exclude_pattern.h"

#include <algorithm>
#include <cstdint>

namespace lume {

namespace {

// A pattern as the steps of a matching automaton. Backtracking over the
// ways each star could stretch takes time exponential in the number of
// stars; following every position in the pattern at once, character by
// character, takes the name's length times the pattern's, and no recursion.
enum class Step : uint8_t {
  literal,     // one character, itself
  one_char,    // "?": one character other than '/'
  name_chars,  // "*": any run of characters other than '/'
  any_chars,   // "**": any run of characters, '/' included
};

struct PatternStep {
  Step step;
  char literal = 0;
  // "**" followed by "/": the two together may also match nothing, so
  // "a/**/b" takes "a/b".
  bool may_skip_slash = false;
};

// Stars right behind "**" add nothing to it: "**" matches every run
// already, and "**" behind it together with its "/" may match nothing at all.
// Folding them keeps a pattern of many stars down to a single step.
std::vector<PatternStep> steps_of(std::string_view pattern) {
  std::vector<PatternStep> steps;
  for (size_t i = 0; i < pattern.size(); ++i) {
    bool behind_any_chars = !steps.empty() && steps.back().step == Step::any_chars;
    if (pattern.compare(i, 2, "**") == 0) {
      bool may_skip_slash = pattern.compare(i + 2, 1, "/") == 0;
      ++i;
      if (!behind_any_chars) steps.push_back({Step::any_chars, 0, may_skip_slash});
      else if (may_skip_slash) ++i;
    } else if (pattern[i] == '*') {
      if (!behind_any_chars) steps.push_back({Step::name_chars});
    } else if (pattern[i] == '?') {
      steps.push_back({Step::one_char});
    } else {
      steps.push_back({Step::literal, pattern[i]});
    }
  }
  return steps;
}

// Where the automaton may stand: before step k, and whether it has just
// come there (not by a star's step onto itself), which "**/" needs in order
// to match nothing: as a whole it takes "" or a run that ends in "/".
enum : uint8_t { kReached = 1, kJustEntered = 2 };

// Adds the positions reachable without a character: past stars that match
// nothing, and past "**/" as a whole. Each such move goes forward, so one
// pass in order reaches them all.
void close_over_empty_matches(const std::vector<PatternStep>& steps, std::vector<uint8_t>& at) {
  for (size_t k = 0; k < steps.size(); ++k) {
    if (!(at[k] & kReached)) continue;
    Step s = steps[k].step;
    if (s == Step::name_chars || s == Step::any_chars) at[k + 1] |= kReached | kJustEntered;
    if (steps[k].may_skip_slash && (at[k] & kJustEntered)) at[k + 2] |= kReached | kJustEntered;
  }
}

}  // namespace

bool glob_matches(std::string_view pattern, std::string_view path) {
  std::vector<PatternStep> steps = steps_of(pattern);
  std::vector<uint8_t> at(steps.size() + 1, 0), next(steps.size() + 1, 0);
  at[0] = kReached | kJustEntered;
  close_over_empty_matches(steps, at);
  for (char c : path) {
    std::fill(next.begin(), next.end(), 0);
    bool alive = false;
    for (size_t k = 0; k < steps.size(); ++k) {
      if (!(at[k] & kReached)) continue;
      const PatternStep& s = steps[k];
      bool takes = s.step == Step::literal ? c == s.literal
                   : s.step == Step::any_chars ? true
                                               : c != '/';
      if (!takes) continue;
      if (s.step == Step::name_chars || s.step == Step::any_chars) next[k] |= kReached;
      else next[k + 1] |= kReached | kJustEntered;
      alive = true;
    }
    if (!alive) return false;
    close_over_empty_matches(steps, next);
    at.swap(next);
  }
  return (at[steps.size()] & kReached) != 0;
}

ExcludePatterns::ExcludePatterns(const std::vector<std::string>& patterns) {
  for (std::string pattern : patterns) {
    while (!pattern.empty() && pattern.back() == '/') pattern.pop_back();
    // A leading "/" anchors a plain name at the source folder.
    bool whole_path = pattern.find('/') != std::string::npos;
    while (!pattern.empty() && pattern.front() == '/') pattern.erase(0, 1);
    if (!pattern.empty()) patterns_.push_back({std::move(pattern), whole_path});
  }
}

bool ExcludePatterns::excludes(std::string_view relative_path) const {
  size_t slash = relative_path.rfind('/');
  std::string_view name =
      slash == std::string_view::npos ? relative_path : relative_path.substr(slash + 1);
  for (const Pattern& p : patterns_)
    if (glob_matches(p.text, p.whole_path ? relative_path : name)) return true;
  return false;
}

}  // namespace lume
