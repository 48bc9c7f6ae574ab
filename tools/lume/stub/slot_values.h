// The values the configuration block will hold, in the installer's code
// page, made from the project file and checked against the slots' widths
// and against what the installer does with them.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "installer/config_block.h"
#include "tools/lume/project/project_file.h"

namespace lume {

struct ShortcutRowValue {
  std::string link_name;   // LinkName
  std::string file_field;  // FileField: target, or target + " " + arguments
  bool operator==(const ShortcutRowValue&) const = default;
};

// What one slot holds: a number's or a text's bytes, or a table's rows in
// use.
struct SlotValue {
  std::string text;
  std::vector<ShortcutRowValue> rows;
};

// Every slot's value by its place in the block: values[kAppTitleSlot].text.
using SlotValues = std::array<SlotValue, kConfigSlotCount>;

// payload_names: the payload's file names in the code page, for the warnings
// about targets the payload does not hold. PayloadOffset is left empty:
// patch_stub writes the stub's length there. Throws lume::Error naming the
// project file and the problem; warnings are appended.
SlotValues make_slot_values(const Project& project, const std::vector<std::string>& payload_names,
                            std::vector<std::string>& warnings);

// Why a slot's text (what, in the code page) may not be written, naming its
// first control character; nullopt when it holds none.
std::optional<std::string> control_character_problem(std::string_view what,
                                                     std::string_view bytes);

// How the installer splits a FileField: at the first ".exe " (any letter
// case) into the target, ending in ".exe", and the arguments behind the blank.
struct SplitField {
  std::string target;
  std::optional<std::string> arguments;
};
SplitField split_file_field(std::string_view file_field);

}  // namespace lume
