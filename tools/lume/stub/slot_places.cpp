#include "tools/lume/stub/slot_places.h"

#include <fmt/core.h>

#include "common/bounded_text.h"

namespace lume {

namespace {

std::vector<SlotPlace> make_slot_places() {
  std::vector<SlotPlace> places;
  for (int id = 0; id < kConfigSlotCount; ++id) {
    const ConfigSlot& slot = kConfigSlots[id];
    if (slot.kind != slot_shortcut_rows) {
      places.push_back({slot.name, ConfigSlotId(id), -1, false, slot.kind == slot_name,
                        slot.offset, slot.size, slot.key});
      continue;
    }
    for (int row = 0; row < kShortcutRows; ++row) {
      const size_t at = slot.offset + size_t(row) * sizeof(ShortcutRow);
      const bool keyed = unsigned(row) < slot.keyed_rows;
      const std::string digits = fmt::format("{:02}", row);
      places.push_back({fmt::format("{} {} LinkName", slot.name, digits), ConfigSlotId(id), row,
                        false, true, at + offsetof(ShortcutRow, LinkName), kShortcutFieldWidth,
                        keyed ? slot.key + digits : ""});
      places.push_back({fmt::format("{} {} FileField", slot.name, digits), ConfigSlotId(id), row,
                        true, false, at + offsetof(ShortcutRow, FileField), kShortcutFieldWidth,
                        keyed ? slot.file_key + digits : ""});
    }
  }
  return places;
}

}  // namespace

const std::vector<SlotPlace>& slot_places() {
  static const std::vector<SlotPlace> places = make_slot_places();
  return places;
}

const std::string* value_at(const SlotPlace& place, const SlotValues& values) {
  const SlotValue& value = values[place.slot];
  switch (kConfigSlots[place.slot].kind) {
    case slot_number:
      return nullptr;
    case slot_text:
    case slot_name:
      return &value.text;
    case slot_shortcut_rows:
      break;
  }
  if (size_t(place.row) >= value.rows.size()) return nullptr;
  const ShortcutRowValue& row = value.rows[size_t(place.row)];
  return place.file_field ? &row.file_field : &row.link_name;
}

std::string snake_case(const char* name) {
  std::string out;
  for (const char* c = name; *c != 0; ++c) {
    if (c != name && lower_ascii(*c) != *c) out += '_';
    out += lower_ascii(*c);
  }
  return out;
}

}  // namespace lume
