#include "tools/lume/project/source_tree.h"

#include <fmt/core.h>

#include <algorithm>

#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

class Walker {
 public:
  Walker(const fs::path& root, const ExcludePatterns& exclude) : root_(root), exclude_(exclude) {}

  SourceTree walk() {
    std::error_code ec;
    fs::file_status status = fs::status(root_, ec);
    if (fs::exists(status) && !fs::is_directory(status))
      throw Error(fmt::format("{}: the source is a file; 'source' names the folder of files to "
                              "install",
                              shown_path(root_)));
    if (!fs::is_directory(status))
      throw Error(fmt::format("{}: no such source folder", shown_path(root_)));
    real_root_ = fs::canonical(root_, ec);
    if (ec) throw Error(fmt::format("{}: cannot read the folder: {}", shown_path(root_), ec.message()));
    walk_folder(root_, "");
    return std::move(tree_);
  }

 private:
  // Returns whether anything below folder was taken.
  bool walk_folder(const fs::path& folder, const std::string& relative) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      entries.push_back(it->path());
    if (ec)
      throw Error(fmt::format("{}: cannot read the folder: {}", shown_path(folder), ec.message()));
    std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
      return a.filename().native() < b.filename().native();
    });

    bool took_any = false;
    for (const fs::path& entry : entries) {
      std::string name = host::utf8_of(entry.filename());
      std::string entry_relative = relative.empty() ? name : relative + "/" + name;
      if (exclude_.excludes(entry_relative)) continue;
      took_any |= take(entry, entry_relative);
    }
    if (!took_any && !relative.empty()) {
      // Only the outermost of nested empty folders is worth a warning.
      std::erase_if(tree_.empty_folders,
                    [&](const std::string& inner) { return inner.starts_with(relative + "/"); });
      tree_.empty_folders.push_back(relative);
    }
    return took_any;
  }

  bool take(const fs::path& entry, const std::string& relative) {
    std::error_code ec;
    fs::file_status own = fs::symlink_status(entry, ec);
    fs::file_status target = fs::status(entry, ec);
    if (fs::is_directory(target)) {
      if (fs::is_symlink(own))
        throw Error(fmt::format("{}: a symbolic link to a folder; copy the folder in instead",
                                shown_path(entry)));
      return walk_folder(entry, relative);
    }
    if (!fs::is_regular_file(target)) {
      throw Error(fmt::format("{}: {}", shown_path(entry),
                              fs::is_symlink(own) ? "a symbolic link that leads nowhere"
                                                  : "neither a regular file nor a folder"));
    }
    SourceFile file;
    // A link is read as the file it leads to, which must lie in the source
    // folder, and that file is opened later without following links.
    file.path = fs::is_symlink(own) ? target_inside(entry) : entry;
    file.relative = relative;
    file.identity = host::file_identity(file.path);
    file.times = host::read_file_times(file.path);
    file.size = fs::file_size(file.path, ec);
    if (ec)
      throw Error(fmt::format("{}: cannot read its size: {}", shown_path(entry), ec.message()));
    tree_.files.push_back(std::move(file));
    return true;
  }

  fs::path target_inside(const fs::path& link) const {
    std::error_code ec;
    fs::path target = fs::canonical(link, ec);
    if (ec)
      throw Error(fmt::format("{}: cannot follow the link: {}", shown_path(link), ec.message()));
    auto [in_root, in_target] =
        std::mismatch(real_root_.begin(), real_root_.end(), target.begin(), target.end());
    if (in_root != real_root_.end())
      throw Error(fmt::format("{}: a symbolic link to {}, outside the source folder; copy the "
                              "file in instead",
                              shown_path(link), shown_path(target)));
    return target;
  }

  fs::path root_;
  fs::path real_root_;  // with every link resolved
  const ExcludePatterns& exclude_;
  SourceTree tree_;
};

}  // namespace

SourceTree walk_source(const fs::path& root, const ExcludePatterns& exclude) {
  return Walker(root, exclude).walk();
}

}  // namespace lume
