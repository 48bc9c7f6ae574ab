#include "tools/lume/stub/stub_patcher.h"

#include <fmt/core.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "installer/config_block.h"
#include "tools/lume/base/error.h"

namespace lume {

namespace {

struct RowKeys {
  const char* link;
  const char* file;
};

#define LUME_START_MENU_ROW_KEYS(nn) \
  { LUME_KEY_START_MENU_LINK(nn), LUME_KEY_START_MENU_FILE(nn) }
#define LUME_DESKTOP_ROW_KEYS(nn) \
  { LUME_KEY_DESKTOP_LINK(nn), LUME_KEY_DESKTOP_FILE(nn) }

constexpr RowKeys kStartMenuKeys[] = {
    LUME_START_MENU_ROW_KEYS("00"), LUME_START_MENU_ROW_KEYS("01"), LUME_START_MENU_ROW_KEYS("02"),
    LUME_START_MENU_ROW_KEYS("03"), LUME_START_MENU_ROW_KEYS("04"), LUME_START_MENU_ROW_KEYS("05"),
    LUME_START_MENU_ROW_KEYS("06"), LUME_START_MENU_ROW_KEYS("07"), LUME_START_MENU_ROW_KEYS("08"),
    LUME_START_MENU_ROW_KEYS("09")};
constexpr RowKeys kDesktopKeys[] = {LUME_DESKTOP_ROW_KEYS("00"), LUME_DESKTOP_ROW_KEYS("01"),
                                    LUME_DESKTOP_ROW_KEYS("02"), LUME_DESKTOP_ROW_KEYS("03"),
                                    LUME_DESKTOP_ROW_KEYS("04"), LUME_DESKTOP_ROW_KEYS("05"),
                                    LUME_DESKTOP_ROW_KEYS("06"), LUME_DESKTOP_ROW_KEYS("07")};
static_assert(std::size(kStartMenuKeys) == kStartMenuKeyedRows);
static_assert(std::size(kDesktopKeys) == kDesktopKeyedRows);

struct Table {
  const char* name;
  size_t offset;
  std::span<const RowKeys> keys;
};

constexpr Table kTables[] = {
    {"StartMenuShortcuts", offsetof(ConfigBlock, StartMenuShortcuts), kStartMenuKeys},
    {"DesktopShortcuts", offsetof(ConfigBlock, DesktopShortcuts), kDesktopKeys},
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
    } else if (size_t(row) < table.keys.size()) {
      stub[link] = 0;
      stub[file] = 0;
    }
  }
}

}  // namespace

size_t find_config_block(std::span<const uint8_t> stub, const std::string& stub_name) {
  const std::string_view anchor = keyed(LUME_KEY_PAYLOAD_OFFSET);
  auto searcher = std::boyer_moore_horspool_searcher(anchor.begin(), anchor.end());
  auto as_chars = [&](size_t at) { return reinterpret_cast<const char*>(stub.data()) + at; };
  auto first = std::search(as_chars(0), as_chars(stub.size()), searcher);
  if (first == as_chars(stub.size()))
    throw Error(
        fmt::format("{}: keys missing or already overwritten: no {} key; is this an "
                    "unconfigured Lume stub?",
                    stub_name, "PayloadOffset"));
  if (std::search(first + 1, as_chars(stub.size()), searcher) != as_chars(stub.size()))
    throw Error(fmt::format("{}: holds more than one configuration block", stub_name));
  size_t block = size_t(first - as_chars(0));
  if (block + sizeof(ConfigBlock) > stub.size())
    throw Error(
        fmt::format("{}: the configuration block runs past the end of the file", stub_name));

  auto expect = [&](size_t at, std::string_view text, const std::string& slot) {
    if (!holds(stub, block + at, text))
      throw Error(fmt::format("{}: keys missing or already overwritten: {} does not hold \"{}\"",
                              stub_name, slot, text.substr(0, text.size() - 1)));
  };
  expect(offsetof(ConfigBlock, AppTitle), keyed(LUME_KEY_APP_TITLE), "AppTitle");
  expect(offsetof(ConfigBlock, FolderName), keyed(LUME_KEY_FOLDER_NAME), "FolderName");
  expect(offsetof(ConfigBlock, GroupName), keyed(LUME_KEY_GROUP_NAME), "GroupName");
  expect(offsetof(ConfigBlock, RunAfterInstall), keyed(LUME_KEY_RUN_AFTER_INSTALL),
         "RunAfterInstall");
  for (const Table& table : kTables) {
    for (int row = 0; row < kShortcutRows; ++row) {
      std::string slot = fmt::format("{} row {:02}", table.name, row);
      if (size_t(row) < table.keys.size()) {
        expect(field_offset(table, row, false), keyed(table.keys[row].link), slot);
        expect(field_offset(table, row, true), keyed(table.keys[row].file), slot);
      } else if (stub[block + field_offset(table, row, false)] != 0) {
        throw Error(fmt::format("{}: keys missing or already overwritten: {} is not empty",
                                stub_name, slot));
      }
    }
  }
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
