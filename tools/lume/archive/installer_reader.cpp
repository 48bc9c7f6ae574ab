#include "tools/lume/archive/installer_reader.h"

#include <fmt/core.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>

#include "installer/config_block.h"
#include "payload/directory_rules.h"
#include "payload/entry_cursor.h"
#include "tools/lume/base/error.h"
#include "tools/lume/host/host_system.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOffsetKey = LUME_KEY_PAYLOAD_OFFSET;
// A value of up to ten digits and its terminator leave this much of the key
// standing behind it: enough to find the slot again.
constexpr size_t kLongestOffsetDigits = 10;
constexpr std::string_view kOffsetKeyTail = kOffsetKey.substr(kLongestOffsetDigits + 1);

std::string slot_text(std::span<const uint8_t> bytes, size_t at, size_t width) {
  const char* start = reinterpret_cast<const char*>(bytes.data()) + at;
  return std::string(start, strnlen(start, width));
}

// The PayloadOffset value if the slot at block holds digits, a terminator,
// and the rest of its key as the building tool leaves it.
std::optional<uint64_t> written_offset(std::span<const uint8_t> bytes, size_t block) {
  size_t digits = 0;
  uint64_t value = 0;
  while (digits < kLongestOffsetDigits && block + digits < bytes.size() &&
         bytes[block + digits] >= '0' && bytes[block + digits] <= '9')
    value = value * 10 + (bytes[block + digits++] - '0');
  if (digits == 0 || block + kOffsetKey.size() > bytes.size() || bytes[block + digits] != 0)
    return std::nullopt;
  for (size_t i = digits + 1; i < kOffsetKey.size(); ++i)
    if (bytes[block + i] != uint8_t(kOffsetKey[i])) return std::nullopt;
  return value;
}

SlotTexts read_slots(std::span<const uint8_t> bytes, size_t block) {
  SlotTexts t;
  t.payload_offset =
      slot_text(bytes, block + offsetof(ConfigBlock, PayloadOffset), kPayloadOffsetWidth);
  t.values.app_title = slot_text(bytes, block + offsetof(ConfigBlock, AppTitle), kTextSlotWidth);
  t.values.folder_name =
      slot_text(bytes, block + offsetof(ConfigBlock, FolderName), kTextSlotWidth);
  t.values.group_name = slot_text(bytes, block + offsetof(ConfigBlock, GroupName), kTextSlotWidth);
  t.values.run_after_install =
      slot_text(bytes, block + offsetof(ConfigBlock, RunAfterInstall), kTextSlotWidth);
  auto table = [&](size_t offset) {
    std::vector<ShortcutRowValue> rows;
    for (int row = 0; row < kShortcutRows; ++row) {
      size_t at = block + offset + size_t(row) * sizeof(ShortcutRow);
      ShortcutRowValue value{
          slot_text(bytes, at + offsetof(ShortcutRow, LinkName), kShortcutFieldWidth),
          slot_text(bytes, at + offsetof(ShortcutRow, FileField), kShortcutFieldWidth)};
      if (value.link_name.empty()) break;
      rows.push_back(std::move(value));
    }
    return rows;
  };
  t.values.start_menu = table(offsetof(ConfigBlock, StartMenuShortcuts));
  t.values.desktop = table(offsetof(ConfigBlock, DesktopShortcuts));
  return t;
}

// Which name made check_directory answer directory_bad_name, and why.
std::string refused_name(std::span<const uint8_t> directory, uint32_t count) {
  EntryCursor cursor;
  start_entries(&cursor, directory.data(), uint32_t(directory.size()), count);
  PayloadEntry entry;
  while (next_entry(&cursor, &entry) == entry_read) {
    NameProblem problem = check_entry_name(entry.name, entry.name_length);
    if (problem == name_ok) continue;
    std::string shown;
    for (unsigned char c : std::string_view(entry.name, entry.name_length))
      shown += c >= 0x20 && c < 0x7F ? std::string(1, char(c)) : fmt::format("\\x{:02X}", c);
    return fmt::format(": '{}': {}", shown, name_problem_text(problem));
  }
  return "";
}

uint64_t ticks(StoredTime t) { return uint64_t(t.high) << 32 | t.low; }

// The directory was checked before, so every entry lies inside it.
std::vector<PayloadFileEntry> read_directory(std::span<const uint8_t> directory, uint32_t count) {
  std::vector<PayloadFileEntry> files;
  EntryCursor cursor;
  start_entries(&cursor, directory.data(), uint32_t(directory.size()), count);
  PayloadEntry entry;
  while (next_entry(&cursor, &entry) == entry_read) {
    PayloadFileEntry e;
    e.check = entry.fields.check;
    e.size = entry.fields.size;
    e.times = {ticks(entry.fields.creation_time), ticks(entry.fields.last_access_time),
               ticks(entry.fields.last_write_time)};
    e.name.assign(entry.name, entry.name_length);
    files.push_back(std::move(e));
  }
  return files;
}

}  // namespace

std::span<const uint8_t> Installer::directory() const {
  return std::span<const uint8_t>(bytes).subspan(size_t(payload_offset) + kPayloadHeaderSize,
                                                 header.directory_size);
}

std::span<const uint8_t> Installer::stream() const {
  size_t start = size_t(payload_offset) + kPayloadHeaderSize + header.directory_size;
  return std::span<const uint8_t>(bytes).subspan(start);
}

Installer parse_installer(std::vector<uint8_t> bytes, const fs::path& file) {
  Installer in;
  in.file = file;
  in.bytes = std::move(bytes);
  std::span<const uint8_t> all(in.bytes);
  const std::string name = file.string();

  std::optional<std::string> last_problem;
  auto searcher = std::boyer_moore_horspool_searcher(kOffsetKeyTail.begin(), kOffsetKeyTail.end());
  const char* begin = reinterpret_cast<const char*>(all.data());
  const char* end = begin + all.size();
  for (const char* hit = std::search(begin, end, searcher); hit != end;
       hit = std::search(hit + 1, end, searcher)) {
    size_t tail_at = size_t(hit - begin);
    if (tail_at < kLongestOffsetDigits + 1) continue;
    size_t block = tail_at - (kLongestOffsetDigits + 1);
    std::optional<uint64_t> offset = written_offset(all, block);
    if (!offset) continue;
    if (*offset < block + sizeof(ConfigBlock) || *offset + kPayloadHeaderSize > all.size()) {
      last_problem = fmt::format("its PayloadOffset {} lies outside the file", *offset);
      continue;
    }
    const uint8_t* header = all.data() + *offset;
    PayloadHeader h{load_u32le(header), load_u32le(header + 4), load_u32le(header + 8)};
    if (h.directory_size > kDirectoryBufferSize ||
        *offset + kPayloadHeaderSize + h.directory_size > all.size()) {
      last_problem = fmt::format("the payload directory at offset {} is cut short or too large",
                                 *offset + kPayloadHeaderSize);
      continue;
    }
    std::span<const uint8_t> directory =
        all.subspan(*offset + kPayloadHeaderSize, h.directory_size);
    DirectoryProblem problem =
        check_directory(directory.data(), h.directory_size, h.file_count, h.total_size, 0);
    if (problem != directory_ok) {
      last_problem =
          fmt::format("the payload directory is refused: {}{}", directory_problem_text(problem),
                      problem == directory_bad_name ? refused_name(directory, h.file_count) : "");
      continue;
    }
    in.block_offset = block;
    in.payload_offset = uint32_t(*offset);
    in.header = h;
    in.slots = read_slots(all, block);
    in.files = read_directory(directory, h.file_count);
    return in;
  }
  if (last_problem)
    throw Error(fmt::format("{}: not a sound Lume installer: {}", name, *last_problem));
  const std::string_view unconfigured(kOffsetKey.data(), kOffsetKey.size() + 1);
  if (std::search(begin, end, unconfigured.begin(), unconfigured.end()) != end)
    throw Error(
        fmt::format("{}: an unconfigured stub; 'lume build' makes an installer of it", name));
  throw Error(fmt::format("{}: not a Lume installer (no configuration block found)", name));
}

Installer read_installer(const fs::path& file) {
  return parse_installer(host::read_whole_file(file), file);
}

}  // namespace lume
