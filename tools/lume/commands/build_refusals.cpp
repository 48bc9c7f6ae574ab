#include "tools/lume/commands/build_refusals.h"

#include <fmt/core.h>

#include <algorithm>
#include <string_view>

#include "payload/directory_rules.h"
#include "tools/lume/base/text.h"
#include "tools/lume/host/shown_text.h"
#include "tools/lume/project/payload_names.h"
#include "tools/lume/stub/slot_places.h"

namespace lume {

namespace {

struct Slot {
  std::string name;  // as the configuration block calls it
  const std::string& text;
  bool is_name;  // a file or folder name the installer creates
};

// The texts in use.
std::vector<Slot> slots_of(const SlotValues& values) {
  std::vector<Slot> slots;
  for (const SlotPlace& place : slot_places())
    if (const std::string* text = value_at(place, values))
      slots.push_back({place.name, *text, place.is_name});
  return slots;
}

// The first folder level of text that names a device, if any.
std::optional<std::string_view> device_component(std::string_view text) {
  size_t start = 0;
  for (;;) {
    size_t end = std::min(text.find('\\', start), text.size());
    std::string_view part = text.substr(start, end - start);
    if (is_device_name(part.data(), unsigned(part.size()))) return part;
    if (end == text.size()) return std::nullopt;
    start = end + 1;
  }
}

}  // namespace

std::vector<std::string> build_refusals(const Installer& in, int code_page) {
  std::vector<std::string> problems;
  for (const RunOnSlot& slot : in.slots.run_on)
    problems.push_back(fmt::format("{} has no terminator within its {} bytes; the installer "
                                   "reads on {}",
                                   slot.slot, slot.width, slot.into));
  for (const Slot& slot : slots_of(in.slots.values)) {
    if (std::optional<std::string> problem = control_character_problem(slot.name, slot.text))
      problems.push_back(*problem);
    if (std::optional<HiddenCharacter> hidden =
            hidden_character(slot.name, decoded_text(slot.text, code_page)))
      problems.push_back(hidden->message);
    if (!slot.is_name) continue;
    if (std::optional<std::string_view> device = device_component(slot.text))
      problems.push_back(fmt::format("{} '{}': '{}' is {}", slot.name,
                                     shown_text(slot.text, code_page),
                                     shown_text(*device, code_page),
                                     name_problem_text(name_device_name)));
  }

  std::vector<std::string> names;
  for (const PayloadFileEntry& file : in.files) {
    std::string name = decoded_text(file.name, code_page);
    std::replace(name.begin(), name.end(), '\\', '/');
    if (std::optional<HiddenCharacter> hidden =
            hidden_character(fmt::format("the file name '{}'", escaped_text(name)), name))
      problems.push_back(hidden->message);
    names.push_back(std::move(name));
  }
  if (std::optional<std::string> collision = case_collision(names))
    problems.push_back(*collision);
  return problems;
}

}  // namespace lume
