#include "tools/lume/project/payload_names.h"

#include <fmt/core.h>

#include <functional>
#include <map>

#include "common/bounded_text.h"
#include "payload/archive_format.h"
#include "payload/directory_rules.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/host/host_system.h"

namespace lume {

namespace {

int32_t fold_code_point(int32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149) {
    // Latin Extended-A pairs upper and lower case at even and odd points,
    // except between U+0139 and U+0148 and from U+0179, where they are shifted by one.
    bool shifted = (c >= 0x139 && c <= 0x148) || c >= 0x179;
    return shifted ? ((c & 1) ? c + 1 : c) : (c | 1);
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

// The first character of utf8 whose form in the code page meets test (given
// nullopt where it has none), as "'x' (U+0078)".
std::optional<std::string> first_character(
    std::string_view utf8, int code_page,
    const std::function<bool(const std::optional<std::string>&)>& test) {
  for (size_t pos = 0; pos < utf8.size();) {
    size_t start = pos;
    int32_t c = next_code_point(utf8, pos);
    if (c < 0) break;
    std::string_view character = utf8.substr(start, pos - start);
    if (test(host::to_code_page(character, code_page)))
      return fmt::format("'{}' (U+{:04X})", escaped_text(character), c);
  }
  return std::nullopt;
}

}  // namespace

std::string fold_case(std::string_view utf8) {
  std::string out;
  for (size_t pos = 0; pos < utf8.size();) {
    int32_t c = next_code_point(utf8, pos);
    if (c < 0) {  // not UTF-8: compare the rest as bytes
      out.append(utf8.substr(pos));
      break;
    }
    append_utf8(out, fold_code_point(c));
  }
  return out;
}

std::string code_page_text(std::string_view utf8, int code_page, std::string_view what) {
  for (size_t pos = 0; pos < utf8.size();)
    if (next_code_point(utf8, pos) < 0) throw Error(fmt::format("{}: not valid UTF-8", what));
  std::optional<std::string> bytes = host::to_code_page(utf8, code_page);
  if (!bytes)
    throw Error(fmt::format(
        "{}: {} has no form in code page {}", what,
        first_character(utf8, code_page, [](const auto& form) { return !form; })
            .value_or("a character"),
        code_page));
  return *bytes;
}

std::optional<std::string> character_with_backslash_byte(std::string_view utf8, int code_page) {
  return first_character(utf8, code_page, [](const std::optional<std::string>& form) {
    return form && form->size() > 1 && form->find('\\') != std::string::npos;
  });
}

std::string payload_name(std::string_view relative_utf8, int code_page,
                         std::string_view on_disk) {
  const std::string shown_name = escaped_text(on_disk);
  if (std::optional<HiddenCharacter> hidden = hidden_character(shown_name, relative_utf8);
      hidden && hidden->turns_direction)
    throw Error(hidden->message);
  std::string name;
  // Folder by folder, so that a double-byte character whose second byte is
  // 0x5C cannot pass for a separator.
  size_t start = 0;
  for (;;) {
    size_t slash = relative_utf8.find('/', start);
    std::string_view part = relative_utf8.substr(start, slash - start);
    if (part.find('\\') != std::string_view::npos)
      throw Error(fmt::format("{}: the name holds '\\', which Windows takes as a folder separator",
                              shown_name));
    std::string bytes = code_page_text(part, code_page, shown_name);
    if (bytes.find('\\') != std::string::npos)
      throw Error(fmt::format(
          "{}: in code page {} the second byte of {} is 0x5C, the byte of '\\', which the "
          "installer would take as a folder separator",
          shown_name, code_page,
          character_with_backslash_byte(part, code_page).value_or("a character")));
    name += bytes;
    if (slash == std::string_view::npos) break;
    name += '\\';
    start = slash + 1;
  }

  if (name.size() > kMaxNameLength)
    throw Error(fmt::format("{}: the name is {} bytes long; the installer takes at most {}",
                            shown_name, name.size(), unsigned(kMaxNameLength)));
  NameProblem problem = check_entry_name(name.data(), unsigned(name.size()));
  if (problem != name_ok)
    throw Error(fmt::format("{}: a name the installer refuses: {}", shown_name,
                            name_problem_text(problem)));
  if (kAssumedFolderLength + name.size() > kPathCapacity - 1)
    throw Error(
        fmt::format("{}: the name is {} bytes long; under an installation folder of {} "
                    "characters its path would pass {}",
                    shown_name, name.size(), kAssumedFolderLength, unsigned(kPathCapacity - 1)));
  return name;
}

std::string named_twice(std::string_view utf8_name) {
  return fmt::format("the payload holds '{}' twice; the installer writes the second over the first",
                     escaped_text(utf8_name));
}

std::optional<std::string> case_collision(const std::vector<std::string>& utf8_names) {
  std::map<std::string, std::string> files;    // folded name -> name
  std::map<std::string, std::string> folders;  // folded folder -> the name that implies it
  for (const std::string& name : utf8_names) {
    for (size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      std::string folder = name.substr(0, slash);
      auto [it, added] = folders.emplace(fold_case(folder), folder);
      if (!added && it->second != folder)
        return fmt::format(
            "the folders '{}' and '{}' differ only in letter case; Windows would take them "
            "as one",
            escaped_text(it->second), escaped_text(folder));
    }
    auto [it, added] = files.emplace(fold_case(name), name);
    if (!added && it->second == name) return named_twice(name);
    if (!added)
      return fmt::format(
          "the files '{}' and '{}' differ only in letter case; Windows would take them as one",
          escaped_text(it->second), escaped_text(name));
  }
  for (const auto& [folded, name] : files) {
    auto folder = folders.find(folded);
    if (folder != folders.end())
      return fmt::format(
          "'{}' is a file, but '{}' is a folder of other files; Windows would take them as one",
          escaped_text(name), escaped_text(folder->second));
  }
  return std::nullopt;
}

void refuse_case_collisions(const std::vector<std::string>& utf8_names) {
  if (std::optional<std::string> problem = case_collision(utf8_names)) throw Error(*problem);
}

}  // namespace lume
