// Exclude patterns of the project file, matched against paths relative to
// the source folder with "/" between folders:
//   "*.pdb"        no "/": matches the name of a file or folder at any depth
//   "docs/*.tmp"   with "/": matches the whole path from the source folder
//   "/notes"       a leading "/" ties a plain name to the source folder
//   "*" and "?"    stay inside one name; "**" spans any number of folders
// An excluded folder takes everything inside it along. Matching takes time
// proportional to the path's length times the pattern's, whatever its stars.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lume {

bool glob_matches(std::string_view pattern, std::string_view path);

class ExcludePatterns {
 public:
  explicit ExcludePatterns(const std::vector<std::string>& patterns);
  bool excludes(std::string_view relative_path) const;

 private:
  struct Pattern {
    std::string text;
    bool whole_path;
  };
  std::vector<Pattern> patterns_;
};

}  // namespace lume
