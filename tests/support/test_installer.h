// Installers made inside a test: a stub image with its configuration slots
// patched as the building tool patches them, and a payload appended.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "installer/config_block.h"
#include "tests/support/payload_bytes.h"
#include "tools/lume/codec/encoder.h"

namespace lume_test {

struct PayloadFile {
  PayloadFile(std::string file_name, std::string file_contents)
      : name(std::move(file_name)), contents(std::move(file_contents)) {}
  PayloadFile(std::string file_name, std::string file_contents, uint64_t created,
              uint64_t accessed, uint64_t written)
      : name(std::move(file_name)), contents(std::move(file_contents)), creation(created),
        last_access(accessed), last_write(written) {}

  std::string name;
  std::string contents;
  uint64_t creation = 0x01D9000000000000ull;
  uint64_t last_access = 0x01D9100000000000ull;
  uint64_t last_write = 0x01D9200000000000ull;
  std::optional<uint32_t> check;  // stored instead of the true check value
};

inline std::string concatenated(const std::vector<PayloadFile>& files) {
  std::string all;
  for (const PayloadFile& f : files) all += f.contents;
  return all;
}

// The stream for bytes, as the building tool's compressor writes it.
inline std::vector<uint8_t> compressed(const std::string& bytes,
                                       int level = lume::codec::kDefaultLevel) {
  lume::codec::EncodeOptions options;
  options.level = level;
  return lume::codec::encode(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
      options);
}

// Header, directory and stream.
inline std::vector<unsigned char> payload_of(const std::vector<PayloadFile>& files,
                                             const std::vector<uint8_t>& stream) {
  std::vector<RawEntry> entries;
  for (const PayloadFile& f : files) {
    entries.push_back({f.name, uint32_t(f.contents.size()),
                       f.check ? *f.check : reference_check(f.contents), f.creation, f.last_access,
                       f.last_write});
  }
  std::vector<unsigned char> out = header_and_directory(entries);
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

// One row of a shortcut table; an empty link name leaves the row out of use.
struct ShortcutSetting {
  std::string link_name;
  std::string file_field;
};

// What a product's installer is configured with.
struct InstallerSettings {
  std::string title;
  std::string folder_name;
  std::string group;
  std::string run_after;
  std::vector<ShortcutSetting> start_menu;  // rows 00 on; the rest empty
  std::vector<ShortcutSetting> desktop;
};

namespace detail {

// Writes text and its terminator at offset of the block. False when it
// does not fit the slot.
inline bool put_slot(std::vector<unsigned char>& image, size_t block, size_t offset,
                     size_t width, const std::string& text) {
  if (text.size() >= width) return false;
  std::copy(text.begin(), text.end(), image.begin() + std::ptrdiff_t(block + offset));
  image[block + offset + text.size()] = 0;
  return true;
}

inline bool put_table(std::vector<unsigned char>& image, size_t block, size_t table,
                      const std::vector<ShortcutSetting>& rows) {
  if (rows.size() > kShortcutRows) return false;
  for (size_t row = 0; row < kShortcutRows; ++row) {
    size_t at = table + row * sizeof(ShortcutRow);
    ShortcutSetting setting = row < rows.size() ? rows[row] : ShortcutSetting{};
    if (!put_slot(image, block, at + offsetof(ShortcutRow, LinkName), kShortcutFieldWidth,
                  setting.link_name) ||
        !put_slot(image, block, at + offsetof(ShortcutRow, FileField), kShortcutFieldWidth,
                  setting.file_field))
      return false;
  }
  return true;
}

// What settings give a text slot; a slot they do not name is left empty.
inline std::string text_of(const InstallerSettings& settings, int slot) {
  switch (slot) {
    case kAppTitleSlot: return settings.title;
    case kFolderNameSlot: return settings.folder_name;
    case kGroupNameSlot: return settings.group;
    case kRunAfterInstallSlot: return settings.run_after;
  }
  return "";
}

}  // namespace detail

// Configures a stub image as the building tool would: the payload offset
// (the image's own size), the texts and both shortcut tables, every row
// that settings leave out emptied. The block is found by the key of its
// first slot, so rows beyond the keyed ones can be set too. False when the
// block is missing or a text does not fit its slot.
inline bool configure_stub(std::vector<unsigned char>& image, const InstallerSettings& settings) {
  std::string needle = LUME_KEY_PAYLOAD_OFFSET;
  needle.push_back('\0');
  auto found = std::search(image.begin(), image.end(), needle.begin(), needle.end());
  if (found == image.end() || size_t(image.end() - found) < sizeof(ConfigBlock)) return false;
  const size_t block = size_t(found - image.begin()), length = image.size();
  for (int id = 0; id < kConfigSlotCount; ++id) {
    const ConfigSlot& slot = kConfigSlots[id];
    bool written = false;
    if (slot.kind == slot_shortcut_rows)
      written = detail::put_table(
          image, block, slot.offset,
          id == kStartMenuShortcutsSlot ? settings.start_menu : settings.desktop);
    else
      written = detail::put_slot(
          image, block, slot.offset, slot.size,
          slot.kind == slot_number ? std::to_string(length) : detail::text_of(settings, id));
    if (!written) return false;
  }
  return true;
}

// The same with texts only: an empty group and no shortcuts.
inline bool configure_stub(std::vector<unsigned char>& image, const std::string& title,
                           const std::string& folder_name, const std::string& run_after) {
  return configure_stub(image, InstallerSettings{title, folder_name, "", run_after, {}, {}});
}

}  // namespace lume_test
