#include "tools/lume/project/project_file.h"

#include <fmt/core.h>
#include <toml++/toml.h>

#include <set>

#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/host/host_system.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

class ProjectReader {
 public:
  explicit ProjectReader(fs::path file) : file_(std::move(file)) {}

  [[noreturn]] void fail(const toml::node* where, const std::string& problem) const {
    if (where != nullptr && where->source().begin.line > 0)
      throw Error(fmt::format("{}:{}: {}", shown_path(file_), where->source().begin.line, problem));
    throw Error(fmt::format("{}: {}", shown_path(file_), problem));
  }

  void refuse_unknown_keys(const toml::table& table, const std::set<std::string>& known,
                           const std::string& context) const {
    for (const auto& [key, node] : table) {
      if (known.count(std::string(key.str())) == 0)
        fail(&node, fmt::format("unknown key '{}'{}", quoted_value(key.str()), context));
    }
  }

  std::string text(const toml::table& table, const char* key, bool required,
                   const std::string& fallback = {}) const {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
      if (required) fail(&table, fmt::format("the key '{}' is missing", key));
      return fallback;
    }
    if (!node->is_string()) fail(node, fmt::format("'{}' must be a text in quotes", key));
    return node->as_string()->get();
  }

  std::vector<std::string> texts(const toml::table& table, const char* key) const {
    std::vector<std::string> out;
    const toml::node* node = table.get(key);
    if (node == nullptr) return out;
    const toml::array* array = node->as_array();
    if (array == nullptr) fail(node, fmt::format("'{}' must be a list of texts", key));
    for (const toml::node& item : *array) {
      if (!item.is_string()) fail(&item, fmt::format("'{}' must be a list of texts", key));
      out.push_back(item.as_string()->get());
    }
    return out;
  }

  int code_page(const toml::table& table) const {
    const toml::node* node = table.get("code_page");
    if (node == nullptr) return kDefaultCodePage;
    if (!node->is_integer() || node->as_integer()->get() <= 0 || node->as_integer()->get() > 65535)
      fail(node, "'code_page' must be a Windows code page number such as 1252");
    return int(node->as_integer()->get());
  }

  std::vector<ProjectShortcut> shortcuts(const toml::table& table, const char* key) const {
    std::vector<ProjectShortcut> out;
    const toml::node* node = table.get(key);
    if (node == nullptr) return out;
    const toml::array* array = node->as_array();
    if (array == nullptr || !array->is_array_of_tables())
      fail(node, fmt::format("'{}' must be written as [[{}]] tables", key, key));
    for (const toml::node& item : *array) {
      const toml::table& row = *item.as_table();
      std::string context = fmt::format(" in a [[{}]] table", key);
      refuse_unknown_keys(row, {"name", "target", "arguments"}, context);
      ProjectShortcut shortcut;
      shortcut.line = int(row.source().begin.line);
      shortcut.link_name = text(row, "name", true);
      shortcut.target = text(row, "target", true);
      shortcut.has_arguments = row.contains("arguments");
      shortcut.arguments = text(row, "arguments", false);
      out.push_back(std::move(shortcut));
    }
    return out;
  }

  Project read(const toml::table& root) const {
    refuse_unknown_keys(root,
                        {"title", "folder", "group", "run_after_install", "source", "exclude",
                         "code_page", "start_menu", "desktop"},
                        "");
    Project project;
    project.file = file_;
    project.title = text(root, "title", true);
    project.title_line = int(root.get("title")->source().begin.line);
    project.folder_name = text(root, "folder", true);
    project.group_name = text(root, "group", false, project.title);
    project.group_given = root.contains("group");
    project.run_after_install = text(root, "run_after_install", false);
    std::string source = text(root, "source", true);
    // An empty source would be the project's own folder, project file included.
    if (source.empty())
      fail(root.get("source"),
           "'source' is empty; it names the folder of files to install, relative to this file");
    project.source = file_.parent_path() / host::path_of_utf8(source);
    project.exclude = texts(root, "exclude");
    project.code_page = code_page(root);
    project.start_menu = shortcuts(root, "start_menu");
    project.desktop = shortcuts(root, "desktop");
    return project;
  }

 private:
  fs::path file_;
};

}  // namespace

Project read_project(const fs::path& file) {
  std::vector<uint8_t> bytes = host::read_whole_file(file);
  std::string text(bytes.begin(), bytes.end());
  toml::table root;
  try {
    root = toml::parse(text, file.string());
  } catch (const toml::parse_error& e) {
    throw Error(fmt::format("{}:{}: not a valid project file: {}", shown_path(file),
                            e.source().begin.line, escaped_text(e.description())));
  }
  return ProjectReader(file).read(root);
}

}  // namespace lume
