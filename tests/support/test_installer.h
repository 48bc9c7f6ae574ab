// Installers made inside a test: a stub image with its configuration slots
// patched as the building tool patches them, and a payload appended.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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
inline std::vector<uint8_t> compressed(const std::string& bytes) {
  return lume::codec::encode(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
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

// Writes value and its terminator over the beginning of the slot that holds
// key (followed by its own terminator). False when the key is not found or
// the value does not fit the slot.
inline bool patch_slot(std::vector<unsigned char>& image, const std::string& key,
                       const std::string& value, size_t width) {
  if (value.size() >= width) return false;
  std::string needle = key;
  needle.push_back('\0');
  auto at = std::search(image.begin(), image.end(), needle.begin(), needle.end());
  if (at == image.end()) return false;
  std::copy(value.begin(), value.end(), at);
  at[std::ptrdiff_t(value.size())] = 0;
  return true;
}

// Configures a stub image as the building tool would: the payload offset
// (the image's own size), the texts, and every shortcut row emptied. False
// when a slot is missing from the image.
inline bool configure_stub(std::vector<unsigned char>& image, const std::string& title,
                           const std::string& folder_name, const std::string& run_after) {
  const std::pair<std::string_view, std::string> texts[] = {
      {"PayloadOffset", std::to_string(image.size())},
      {"AppTitle", title},
      {"FolderName", folder_name},
      {"RunAfterInstall", run_after}};
  for (unsigned k = 0; k < kSlotKeyCount; ++k) {
    const SlotKey& slot = kSlotKeys[k];
    std::string_view name = slot.slot;
    if (name.ends_with("FileField")) continue;  // a row is out of use by its empty LinkName
    std::string value;  // the group and every link name empty
    for (const auto& [text_slot, text] : texts)
      if (name == text_slot) value = text;
    if (!patch_slot(image, slot.key, value, slot.width)) return false;
  }
  return true;
}

}  // namespace lume_test
