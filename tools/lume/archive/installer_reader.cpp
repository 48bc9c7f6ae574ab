#include "tools/lume/archive/installer_reader.h"

#include <fmt/core.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "installer/config_block.h"
#include "payload/directory_rules.h"
#include "payload/entry_cursor.h"
#include "tools/lume/stub/pe_image.h"
#include "tools/lume/base/error.h"
#include "tools/lume/host/host_system.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOffsetKey = LUME_KEY_PAYLOAD_OFFSET;

std::string slot_text(std::span<const uint8_t> bytes, size_t at, size_t width) {
  const char* start = reinterpret_cast<const char*>(bytes.data()) + at;
  return std::string(start, strnlen(start, width));
}

// PayloadOffset by the installer's own rule. Its digits may run on past
// the slot, as they do in the stub's memory; the block's end stops them.
long offset_in(std::span<const uint8_t> block) {
  std::string text(block.begin(), block.end());
  return payload_offset_value(text.c_str());
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

  std::string problem;
  const std::optional<PeImage> image = read_pe_image(all, problem);
  if (!image)
    throw Error(fmt::format("{}: not a Lume installer: not a Windows program ({})", name, problem));
  const PeSection& section = config_section(*image, name, "installer");
  const std::vector<uint8_t> block = mapped_block(all, section, name);
  const long offset = offset_in(block);
  if (offset <= 0) {
    if (std::equal(kOffsetKey.begin(), kOffsetKey.end(), block.begin()) &&
        block[kOffsetKey.size()] == 0)
      throw Error(
          fmt::format("{}: an unconfigured stub; 'lume build' makes an installer of it", name));
    throw Error(fmt::format("{}: not a sound Lume installer: its PayloadOffset names no payload",
                            name));
  }
  if (uint64_t(offset) + kPayloadHeaderSize > all.size())
    throw Error(fmt::format("{}: not a sound Lume installer: its PayloadOffset {} lies outside "
                            "the file",
                            name, offset));
  const uint8_t* header = all.data() + offset;
  PayloadHeader h{load_u32le(header), load_u32le(header + 4), load_u32le(header + 8)};
  if (h.directory_size > kDirectoryBufferSize ||
      uint64_t(offset) + kPayloadHeaderSize + h.directory_size > all.size())
    throw Error(fmt::format("{}: not a sound Lume installer: the payload directory at offset {} "
                            "is cut short or too large",
                            name, offset + kPayloadHeaderSize));
  std::span<const uint8_t> directory = all.subspan(offset + kPayloadHeaderSize, h.directory_size);
  DirectoryProblem refused =
      check_directory(directory.data(), h.directory_size, h.file_count, h.total_size, 0);
  if (refused != directory_ok)
    throw Error(fmt::format("{}: not a sound Lume installer: the payload directory is refused: {}{}",
                            name, directory_problem_text(refused),
                            refused == directory_bad_name ? refused_name(directory, h.file_count)
                                                          : ""));

  in.block_offset = section.file_offset;
  in.payload_offset = uint32_t(offset);
  in.header = h;
  in.slots = read_slots(block, 0);
  in.files = read_directory(directory, h.file_count);
  in.certificate_offset = image->certificate_offset;
  in.certificate_size = image->certificate_size;
  in.manifest = requested_level(all, *image);
  return in;
}

Behind behind_stream(const Installer& in, size_t stream_used) {
  Behind b;
  const size_t stream_start = in.bytes.size() - in.stream().size();
  b.offset = stream_start + std::min(stream_used, in.stream().size());
  b.size = in.bytes.size() - b.offset;
  // The certificate table stands 8-aligned at the end of the file, behind
  // the zeros that align it.
  const uint64_t table = in.certificate_offset, table_end = table + in.certificate_size;
  if (b.size > 0 && in.certificate_size > 0 && table_end == in.bytes.size() &&
      table >= b.offset && table - b.offset < 8 &&
      std::all_of(in.bytes.begin() + b.offset, in.bytes.begin() + table,
                  [](uint8_t c) { return c == 0; }))
    b.signature = true;
  return b;
}

Installer read_installer(const fs::path& file) {
  return parse_installer(host::read_whole_file(file), file);
}

}  // namespace lume
