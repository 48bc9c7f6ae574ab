// Reading a finished installer back: its configuration block, payload
// header and directory, and where its compressed stream lies.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "tools/lume/archive/directory_writer.h"
#include "tools/lume/stub/slot_values.h"

namespace lume {

// The slots as the installer reads them: each text up to its terminator;
// the shortcut rows from row 00 up to the first empty LinkName.
struct SlotTexts {
  std::string payload_offset;
  SlotValues values;
};

struct Installer {
  std::filesystem::path file;
  std::vector<uint8_t> bytes;  // the whole file
  size_t block_offset = 0;     // of the configuration block
  uint32_t payload_offset = 0;
  SlotTexts slots;
  PayloadHeader header{};
  std::vector<PayloadFileEntry> files;  // in stream order

  std::span<const uint8_t> directory() const;
  std::span<const uint8_t> stream() const;
};

// Reads and checks an installer: the block is found by what the building
// tool leaves of the PayloadOffset key, and the header behind the offset it
// names must hold a directory the installer accepts. Throws lume::Error
// naming the file and the problem.
Installer read_installer(const std::filesystem::path& file);

// The same over bytes already in memory (file is used in messages).
Installer parse_installer(std::vector<uint8_t> bytes, const std::filesystem::path& file);

}  // namespace lume
