#include "tools/lume/stub/stub_patcher.h"

#include <fmt/core.h>

#include <algorithm>
#include <optional>
#include <string_view>

#include "installer/config_block.h"
#include "tools/lume/base/error.h"
#include "tools/lume/stub/pe_image.h"
#include "tools/lume/stub/slot_places.h"

namespace lume {

namespace {

// A key and its terminator, as the stub holds it.
std::string_view keyed(const std::string& key) { return {key.c_str(), key.size() + 1}; }

bool holds(std::span<const uint8_t> bytes, size_t at, std::string_view text) {
  return at + text.size() <= bytes.size() &&
         std::equal(text.begin(), text.end(), bytes.begin() + at,
                    [](char a, uint8_t b) { return uint8_t(a) == b; });
}

void write_value(std::vector<uint8_t>& stub, size_t at, const SlotPlace& place,
                 const std::string& value, const std::string& stub_name) {
  if (value.size() >= place.width)
    throw Error(fmt::format("{}: the value for {} does not fit its {} bytes", stub_name,
                            place.name, place.width));
  std::copy(value.begin(), value.end(), stub.begin() + at);
  stub[at + value.size()] = 0;
}

// What patch_stub writes at place: nullopt where it leaves the stub as it is.
std::optional<std::string> written_at(const SlotPlace& place, const SlotValues& values,
                                      size_t stub_length) {
  if (kConfigSlots[place.slot].kind == slot_number) return std::to_string(stub_length);
  if (const std::string* text = value_at(place, values)) return *text;
  // A keyed row out of use is blanked, so that the table ends there.
  if (!place.key.empty()) return "";
  return std::nullopt;
}

}  // namespace

size_t find_config_block(std::span<const uint8_t> stub, const std::string& stub_name) {
  std::string problem;
  const std::optional<PeImage> image = read_pe_image(stub, problem);
  if (!image)
    throw Error(fmt::format("{}: not a Lume stub: not a Windows program ({})", stub_name, problem));
  const PeSection& section = config_section(*image, stub_name, "stub");
  const size_t block = section.file_offset;
  if (section.file_size < sizeof(ConfigBlock) || block + sizeof(ConfigBlock) > stub.size())
    throw Error(fmt::format("{}: the configuration block runs past the end of its section or "
                            "of the file",
                            stub_name));
  for (const SlotPlace& place : slot_places())
    if (!place.key.empty() && !holds(stub, block + place.offset, keyed(place.key)))
      throw Error(fmt::format("{}: keys missing or already overwritten: {} does not hold \"{}\"",
                              stub_name, place.name, place.key));
  for (const SlotPlace& place : slot_places())
    if (place.key.empty() && !place.file_field && stub[block + place.offset] != 0)
      throw Error(fmt::format("{}: keys missing or already overwritten: {} {:02} is not empty",
                              stub_name, kConfigSlots[place.slot].name, place.row));
  return block;
}

void patch_stub(std::vector<uint8_t>& stub, const SlotValues& values,
                const std::string& stub_name) {
  size_t block = find_config_block(stub, stub_name);
  for (int id = 0; id < kConfigSlotCount; ++id)
    if (values[id].rows.size() > kShortcutRows)
      throw Error(fmt::format("{}: {} has only {} rows", stub_name, kConfigSlots[id].name,
                              int(kShortcutRows)));
  const size_t stub_length = stub.size();
  for (const SlotPlace& place : slot_places())
    if (std::optional<std::string> value = written_at(place, values, stub_length))
      write_value(stub, block + place.offset, place, *value, stub_name);
}

}  // namespace lume
