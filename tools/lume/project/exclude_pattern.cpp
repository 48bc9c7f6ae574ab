#include "tools/lume/project/exclude_pattern.h"

namespace lume {

bool glob_matches(std::string_view pattern, std::string_view path) {
  if (pattern.empty()) return path.empty();
  if (pattern.substr(0, 2) == "**") {
    std::string_view rest = pattern.substr(2);
    // "**/" also matches no folder at all: "a/**/b" takes "a/b".
    if (rest.substr(0, 1) == "/" && glob_matches(rest.substr(1), path)) return true;
    for (size_t skip = 0; skip <= path.size(); ++skip)
      if (glob_matches(rest, path.substr(skip))) return true;
    return false;
  }
  if (pattern[0] == '*') {
    for (size_t skip = 0; skip <= path.size(); ++skip) {
      if (glob_matches(pattern.substr(1), path.substr(skip))) return true;
      if (skip < path.size() && path[skip] == '/') break;
    }
    return false;
  }
  if (path.empty()) return false;
  if (pattern[0] == '?' ? path[0] == '/' : pattern[0] != path[0]) return false;
  return glob_matches(pattern.substr(1), path.substr(1));
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
