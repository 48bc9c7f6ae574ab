#include "tools/lume/stub/stub_patcher.h"

#include <fmt/core.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "installer/config_block.h"
#include "tools/lume/base/error.h"
#include "tools/lume/stub/pe_image.h"

namespace lume {

namespace {

struct Table {
  const char* name;
  size_t offset;
  int keyed_rows;  // the rows that carry keys in the stub as built
};

constexpr Table kTables[] = {
    {"StartMenuShortcuts", offsetof(ConfigBlock, StartMenuShortcuts), kStartMenuKeyedRows},
    {"DesktopShortcuts", offsetof(ConfigBlock, DesktopShortcuts), kDesktopKeyedRows},
};

constexpr size_t field_offset(const Table& table, int row, bool file) {
  return table.offset + size_t(row) * sizeof(ShortcutRow) +
         (file ? offsetof(ShortcutRow, FileField) : offsetof(ShortcutRow, LinkName));
}

// A key and its terminator, as the stub holds it.
std::string_view keyed(const char* key) { return {key, std::strlen(key) + 1}; }

bool holds(std::span<const uint8_t> bytes, size_t at, std::string_view text) {
  return at + text.size() <= bytes.size() &&
         std::equal(text.begin(), text.end(), bytes.begin() + at,
                    [](char a, uint8_t b) { return uint8_t(a) == b; });
}

void write_value(std::vector<uint8_t>& stub, size_t at, size_t width, const std::string& value,
                 const std::string& stub_name, const char* slot) {
  if (value.size() >= width)
    throw Error(
        fmt::format("{}: the value for {} does not fit its {} bytes", stub_name, slot, width));
  std::copy(value.begin(), value.end(), stub.begin() + at);
  stub[at + value.size()] = 0;
}

void write_table(std::vector<uint8_t>& stub, size_t block, const Table& table,
                 const std::vector<ShortcutRowValue>& rows, const std::string& stub_name) {
  if (rows.size() > kShortcutRows)
    throw Error(fmt::format("{}: {} has only {} rows", stub_name, table.name, int(kShortcutRows)));
  for (int row = 0; row < kShortcutRows; ++row) {
    size_t link = block + field_offset(table, row, false);
    size_t file = block + field_offset(table, row, true);
    if (size_t(row) < rows.size()) {
      write_value(stub, link, kShortcutFieldWidth, rows[row].link_name, stub_name, table.name);
      write_value(stub, file, kShortcutFieldWidth, rows[row].file_field, stub_name, table.name);
    } else if (row < table.keyed_rows) {
      stub[link] = 0;
      stub[file] = 0;
    }
  }
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
  for (unsigned k = 0; k < kSlotKeyCount; ++k) {
    const SlotKey& key = kSlotKeys[k];
    if (!holds(stub, block + key.offset, keyed(key.key)))
      throw Error(fmt::format("{}: keys missing or already overwritten: {} does not hold \"{}\"",
                              stub_name, key.slot, key.key));
  }
  for (const Table& table : kTables)
    for (int row = table.keyed_rows; row < kShortcutRows; ++row)
      if (stub[block + field_offset(table, row, false)] != 0)
        throw Error(fmt::format("{}: keys missing or already overwritten: {} {:02} is not empty",
                                stub_name, table.name, row));
  return block;
}

void patch_stub(std::vector<uint8_t>& stub, const SlotValues& values,
                const std::string& stub_name) {
  size_t block = find_config_block(stub, stub_name);
  write_value(stub, block + offsetof(ConfigBlock, PayloadOffset), kPayloadOffsetWidth,
              std::to_string(stub.size()), stub_name, "PayloadOffset");
  auto text_slot = [&](size_t offset, const std::string& value, const char* slot) {
    write_value(stub, block + offset, kTextSlotWidth, value, stub_name, slot);
  };
  text_slot(offsetof(ConfigBlock, AppTitle), values.app_title, "AppTitle");
  text_slot(offsetof(ConfigBlock, FolderName), values.folder_name, "FolderName");
  text_slot(offsetof(ConfigBlock, GroupName), values.group_name, "GroupName");
  text_slot(offsetof(ConfigBlock, RunAfterInstall), values.run_after_install, "RunAfterInstall");
  write_table(stub, block, kTables[0], values.start_menu, stub_name);
  write_table(stub, block, kTables[1], values.desktop, stub_name);
}

}  // namespace lume
