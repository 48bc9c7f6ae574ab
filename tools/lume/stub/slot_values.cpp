#include "tools/lume/stub/slot_values.h"

#include <fmt/core.h>

#include <algorithm>

#include "installer/config_block.h"
#include "common/bounded_text.h"
#include "payload/archive_format.h"
#include "payload/directory_rules.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/project/payload_names.h"
#include "uninstaller/uninstall_data.h"

namespace lume {

namespace {

class SlotMaker {
 public:
  SlotMaker(const Project& project, const std::vector<std::string>& payload_names,
            std::vector<std::string>& warnings)
      : project_(project), warnings_(warnings) {
    for (const std::string& name : payload_names) payload_.insert(fold_case(name));
  }

  SlotValues make() const {
    SlotValues v;
    std::string& title = v[kAppTitleSlot].text;
    title = text("title", project_.title, kTextSlotWidth);
    if (title.empty()) fail("'title' is empty; the installer registers itself under it");
    refuse_backslash_in_title(title);
    std::string& folder = v[kFolderNameSlot].text;
    folder = text("folder", project_.folder_name, kTextSlotWidth);
    refuse_bad_name("folder", folder, true);
    std::string& group = v[kGroupNameSlot].text;
    group = text("group", project_.group_name, kTextSlotWidth);
    if (!group.empty() && project_.group_given) refuse_bad_name("group", group, false);
    if (!group.empty() && !project_.group_given)
      refuse_bad_name("the title, which stands in for the missing 'group',", group, false,
                      project_.title_line, "; give 'group' a name of its own");
    std::string& run = v[kRunAfterInstallSlot].text;
    run = text("run_after_install", project_.run_after_install, kTextSlotWidth);
    if (!run.empty()) {
      std::string program = split_file_field(project_.run_after_install).target;
      if (!in_payload(program))
        warn(fmt::format("'run_after_install' starts '{}', which the payload does not hold",
                         quoted_value(program)));
    }
    v[kStartMenuShortcutsSlot].rows = rows("start_menu", project_.start_menu);
    v[kDesktopShortcutsSlot].rows = rows("desktop", project_.desktop);
    return v;
  }

 private:
  std::string where(int line = 0) const {
    if (line > 0) return fmt::format("{}:{}", shown_path(project_.file), line);
    return shown_path(project_.file);
  }

  [[noreturn]] void fail(const std::string& problem, int line = 0) const {
    throw Error(fmt::format("{}: {}", where(line), problem));
  }

  void warn(const std::string& problem, int line = 0) const {
    warnings_.push_back(fmt::format("{}: {}", where(line), problem));
  }

  // The uninstaller deletes the registry key named by the title, under the
  // list of installed programs: a backslash would reach other keys. In a
  // double-byte code page it may be the second byte of a character.
  void refuse_backslash_in_title(const std::string& bytes) const {
    if (bytes.find('\\') == std::string::npos) return;
    const char* why = "the title names the installation's registry key, where a backslash "
                      "would reach another key";
    if (project_.title.find('\\') != std::string::npos)
      fail(fmt::format("'title' holds a backslash; {}", why));
    fail(fmt::format("'title': in code page {} the second byte of {} is 0x5C, the byte of a "
                     "backslash; {}",
                     project_.code_page,
                     character_with_backslash_byte(project_.title, project_.code_page)
                         .value_or("a character"),
                     why));
  }

  // The value in the code page, or an error when it does not fit its slot
  // with the terminator.
  std::string text(const std::string& what, const std::string& utf8, unsigned width,
                   int line = 0) const {
    refuse_hidden_characters(what, utf8, line);
    std::string bytes =
        code_page_text(utf8, project_.code_page, fmt::format("{}: {}", where(line), what));
    if (bytes.size() > width - 1)
      fail(fmt::format("{} is {} bytes long in code page {}; its slot holds at most {}", what,
                       bytes.size(), project_.code_page, width - 1),
           line);
    refuse_control_characters(what, bytes, line);
    return bytes;
  }

  // A direction control makes the text read otherwise than it is; an
  // invisible character makes it look like another, which may be meant.
  void refuse_hidden_characters(const std::string& what, const std::string& utf8,
                                int line) const {
    std::optional<HiddenCharacter> hidden = hidden_character(what, utf8);
    if (hidden && hidden->turns_direction) fail(hidden->message, line);
    if (hidden) warn(hidden->message, line);
  }

  void refuse_control_characters(const std::string& what, const std::string& bytes,
                                 int line) const {
    if (std::optional<std::string> problem = control_character_problem(what, bytes))
      fail(*problem, line);
  }

  void refuse_bad_name(const std::string& what, const std::string& bytes, bool may_nest,
                       int line = 0, const char* hint = "") const {
    NameProblem problem = check_entry_name(bytes.data(), unsigned(bytes.size()));
    if (problem != name_ok)
      fail(fmt::format("{} is not a usable name: {}{}", what, name_problem_text(problem), hint),
           line);
    if (!may_nest && bytes.find('\\') != std::string::npos)
      fail(fmt::format("{} must be a single name, without backslashes{}", what, hint), line);
  }

  bool in_payload(std::string utf8) const {
    std::replace(utf8.begin(), utf8.end(), '\\', '/');
    return payload_.count(fold_case(utf8)) > 0;
  }

  std::vector<ShortcutRowValue> rows(const char* table,
                                     const std::vector<ProjectShortcut>& shortcuts) const {
    if (shortcuts.size() > kShortcutRows)
      fail(fmt::format("{} lists {} shortcuts; a table has {} rows", table, shortcuts.size(),
                       int(kShortcutRows)),
           shortcuts[kShortcutRows].line);
    std::vector<ShortcutRowValue> out;
    for (const ProjectShortcut& shortcut : shortcuts) {
      ShortcutRowValue row = this->row(table, shortcut);
      for (const ShortcutRowValue& earlier : out)
        if (fold_case(earlier.link_name) == fold_case(row.link_name))
          fail(fmt::format("{} names two shortcuts '{}'; the second would replace the first", table,
                           quoted_value(shortcut.link_name)),
               shortcut.line);
      out.push_back(std::move(row));
    }
    return out;
  }

  ShortcutRowValue row(const char* table, const ProjectShortcut& shortcut) const {
    const int line = shortcut.line;
    if (shortcut.link_name.empty())
      fail(fmt::format("a {} shortcut with an empty name; an empty name ends the table", table),
           line);
    std::string what = fmt::format("{} shortcut '{}'", table, quoted_value(shortcut.link_name));
    ShortcutRowValue row;
    row.link_name = text(what + " name", shortcut.link_name, kShortcutFieldWidth, line);
    refuse_bad_name(what + " name", row.link_name, false, line);
    if (!ends_with_ignoring_case(row.link_name.c_str(), ".lnk"))
      fail(what + ": the name must end in \".lnk\"; the installer adds nothing to it", line);

    std::string target_utf8 = shortcut.target;
    std::replace(target_utf8.begin(), target_utf8.end(), '/', '\\');
    std::string target = text(what + " target", target_utf8, kShortcutFieldWidth, line);
    refuse_bad_name(what + " target", target, true, line);
    if (kAssumedFolderLength + target.size() > kPathCapacity - 1)
      fail(fmt::format("{}: the target is {} bytes long; under an installation folder of {} "
                       "characters its path would pass {}",
                       what, target.size(), kAssumedFolderLength, unsigned(kPathCapacity - 1)),
           line);
    if (arguments_mark(target.c_str()) != nullptr)
      fail(what + ": the target holds \".exe \", where the installer would cut it short", line);
    row.file_field = target;
    if (shortcut.has_arguments) {
      if (!ends_with_ignoring_case(target.c_str(), ".exe"))
        fail(what +
                 ": arguments need a target ending in \".exe\"; the installer finds them "
                 "behind \".exe \"",
             line);
      row.file_field += ' ';
      refuse_hidden_characters(what + " arguments", shortcut.arguments, line);
      std::string arguments = code_page_text(shortcut.arguments, project_.code_page,
                                             fmt::format("{}: {} arguments", where(line), what));
      refuse_control_characters(what + " arguments", arguments, line);
      row.file_field += arguments;
      if (row.file_field.size() > kShortcutFieldWidth - 1)
        fail(fmt::format("{}: target and arguments are {} bytes long in code page {}; the slot "
                         "holds at most {}",
                         what, row.file_field.size(), project_.code_page,
                         int(kShortcutFieldWidth - 1)),
             line);
    }
    // The uninstaller is not in the payload: the installer writes it itself.
    if (!in_payload(target_utf8) && fold_case(target_utf8) != LUME_UNINSTALLER_NAME)
      warn(fmt::format("{}: the target '{}' is not in the payload", what,
                       quoted_value(shortcut.target)));
    return row;
  }

  const Project& project_;
  std::vector<std::string>& warnings_;
  std::set<std::string> payload_;  // folded UTF-8 names, "/" between folders
};

}  // namespace

SlotValues make_slot_values(const Project& project, const std::vector<std::string>& payload_names,
                            std::vector<std::string>& warnings) {
  return SlotMaker(project, payload_names, warnings).make();
}

std::optional<std::string> control_character_problem(std::string_view what,
                                                     std::string_view bytes) {
  int at = first_control_character(bytes.data(), unsigned(bytes.size()));
  if (at < 0) return std::nullopt;
  unsigned char c = uint8_t(bytes[size_t(at)]);
  return fmt::format(
      "{} holds a control character, {} (0x{:02X}), at byte {}; the installer and the "
      "uninstaller would read the text otherwise than it is written",
      what, control_character_name(c), c, at + 1);
}

SplitField split_file_field(std::string_view file_field) {
  // The installer's own rule, so that what the tool shows is what it does.
  const std::string field(file_field);
  const char* blank = arguments_mark(field.c_str());
  if (blank == nullptr) return {field, std::nullopt};
  size_t at = size_t(blank - field.c_str());
  return {field.substr(0, at), field.substr(at + 1)};
}

}  // namespace lume
