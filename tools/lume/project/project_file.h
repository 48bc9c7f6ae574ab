// The project file (TOML, "lume.toml" by default): what goes into one
// installer. Texts are kept as written (UTF-8); the conversion to the
// installer's code page and the slot limits are checked when the slots are
// made (stub/slot_values.h).
//
//   title = "Lume Hello 1.0"             AppTitle
//   folder = "LumeHello"                 FolderName
//   group = "Lume Hello 1.0 Examples"    GroupName (default: the title)
//   run_after_install = "LumeHello.exe /installed"   (default: nothing)
//   source = "product"                   relative to the project file
//   exclude = ["*.pdb", "drafts/**"]     (default: none)
//   code_page = 1252                     (default 1252)
//   [[start_menu]]  name = "Lume Hello.lnk"  target = "LumeHello.exe"  arguments = "/large"
//   [[desktop]]     the same three keys
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lume {

inline constexpr const char* kDefaultProjectFile = "lume.toml";
inline constexpr int kDefaultCodePage = 1252;

struct ProjectShortcut {
  std::string link_name;
  std::string target;     // inside the installation folder, "/" or "\" between folders
  std::string arguments;  // only for a target ending in ".exe"
  bool has_arguments = false;
  int line = 0;  // of the table in the project file, for messages
};

struct Project {
  std::filesystem::path file;  // as given, for messages
  std::string title;
  int title_line = 0;  // for messages
  std::string folder_name;
  std::string group_name;
  bool group_given = false;  // else the title stands in
  std::string run_after_install;
  std::filesystem::path source;  // resolved against the project file's folder
  std::vector<std::string> exclude;
  int code_page = kDefaultCodePage;
  std::vector<ProjectShortcut> start_menu;
  std::vector<ProjectShortcut> desktop;
};

// Reads and checks the project file's shape: missing, malformed, unknown or
// mistyped keys throw lume::Error naming the file and, where known, the line.
Project read_project(const std::filesystem::path& file);

}  // namespace lume
