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
#include "tools/lume/stub/manifest_level.h"
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
  // The PE header's certificate table (a signature); both 0 when unsigned.
  uint32_t certificate_offset = 0;
  uint32_t certificate_size = 0;
  ManifestLevel manifest;  // what the stub asks Windows for when it starts

  std::span<const uint8_t> directory() const;
  std::span<const uint8_t> stream() const;
};

// Reads and checks an installer as the stub reads itself: the block from
// the start of its own PE section, PayloadOffset by the installer's rule,
// and the header there must hold a directory the installer accepts. Throws
// lume::Error naming the file and the problem.
Installer read_installer(const std::filesystem::path& file);

// The same over bytes already in memory (file is used in messages).
Installer parse_installer(std::vector<uint8_t> bytes, const std::filesystem::path& file);

// The bytes from the end of the compressed stream to the end of the file.
struct Behind {
  uint64_t offset = 0;     // where the stream ends
  uint64_t size = 0;       // 0: the file ends with its stream
  bool signature = false;  // they are the certificate table, behind its alignment
};

// What lies behind the stream, given how many of the stream's bytes the
// decoder used.
Behind behind_stream(const Installer& installer, size_t stream_used);

}  // namespace lume
