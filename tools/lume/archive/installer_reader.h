// Reading a finished installer back: which stub it was made from, its
// configuration block, payload header and directory, and where its
// compressed stream lies.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payload/archive_format.h"
#include "tools/lume/archive/directory_writer.h"
#include "tools/lume/stub/manifest_level.h"
#include "tools/lume/stub/slot_values.h"
#include "tools/lume/stub/stub_identity.h"

namespace lume {

// What is said of an installer whose stub lume does not know.
inline constexpr const char* kUnknownStub =
    "stub not known to this lume: what it does cannot be shown";

// A slot in use whose text has no terminator within its width: the
// installer reads on into the slots behind it.
struct RunOnSlot {
  std::string slot;  // "AppTitle", "StartMenuShortcuts 03 FileField"
  unsigned width = 0;
  std::string into;  // "into FolderName", or "past the end of the block"
};

// The slots as the installer reads them: each text up to its terminator,
// wherever that lies; the shortcut rows from row 00 up to the first empty
// LinkName.
struct SlotTexts {
  SlotValues values;
  std::vector<RunOnSlot> run_on;  // in the block's order

  bool runs_on(std::string_view slot) const;
};

struct Installer {
  std::filesystem::path file;
  std::vector<uint8_t> bytes;  // the whole file
  std::string stub;            // the known stub it was made from; empty when unknown
  size_t block_offset = 0;     // of the configuration block
  uint32_t payload_offset = 0;
  SlotTexts slots;
  PayloadHeader header{};
  std::vector<PayloadFileEntry> files;  // in stream order
  // The PE header's certificate table; both 0 when there is none.
  uint32_t certificate_offset = 0;
  uint32_t certificate_size = 0;
  ManifestLevel manifest;  // what the stub asks Windows for when it starts

  std::span<const uint8_t> directory() const;
  std::span<const uint8_t> stream() const;
};

// Reads and checks an installer as its stub reads itself. Made from a stub
// among known, the block is taken where that stub's code reads it;
// otherwise, with stub left empty, from the start of the PE section that
// lume's stubs keep it in, which only tells what the installer would do if
// its code were lume's. PayloadOffset is read by the installer's rule, and
// the header there must hold a directory the installer accepts. Throws
// lume::Error naming the file and the problem.
Installer read_installer(const std::filesystem::path& file, std::span<const KnownStub> known);

// The same over bytes already in memory (file is used in messages).
Installer parse_installer(std::vector<uint8_t> bytes, const std::filesystem::path& file,
                          std::span<const KnownStub> known);

// The bytes from the end of the compressed stream to the end of the file.
struct Behind {
  uint64_t offset = 0;  // where the stream ends
  uint64_t size = 0;    // 0: the file ends with its stream
  // They are the certificate table, behind its alignment, and its entries'
  // headers are sound. What they certify is not checked.
  bool certificate_table = false;
};

// What lies behind the stream, given how many of the stream's bytes the
// decoder used.
Behind behind_stream(const Installer& installer, size_t stream_used);

}  // namespace lume
