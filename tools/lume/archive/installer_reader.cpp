#include "tools/lume/archive/installer_reader.h"

#include <fmt/core.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "installer/config_block.h"
#include "payload/directory_rules.h"
#include "payload/entry_cursor.h"
#include "tools/lume/base/error.h"
#include "tools/lume/base/text.h"
#include "tools/lume/host/host_system.h"
#include "tools/lume/stub/pe_image.h"
#include "tools/lume/stub/slot_places.h"

namespace lume {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOffsetKey = LUME_KEY_PAYLOAD_OFFSET;

// Reads the slots the installer reads, as it reads them: a text goes on to
// its first terminator, past its slot's width if need be. The block's end
// stops the reading here; the installer would read on beyond it.
class SlotReader {
 public:
  explicit SlotReader(std::span<const uint8_t> block) : block_(block) {}

  SlotTexts read() {
    for (size_t k = 0; k < places_.size();) {
      SlotValue& value = t_.values[places_[k].slot];
      if (places_[k].row < 0) {
        value.text = text(k++);
        continue;
      }
      // A table: its rows from 00 up to the first empty LinkName.
      const size_t end = k + 2 * kShortcutRows;
      for (; k < end && block_[places_[k].offset] != 0; k += 2) {
        std::string link_name = text(k);
        value.rows.push_back({std::move(link_name), text(k + 1)});
      }
      k = end;
    }
    return std::move(t_);
  }

 private:
  std::string text(size_t k) {
    const SlotPlace& place = places_[k];
    const char* start = reinterpret_cast<const char*>(block_.data()) + place.offset;
    const size_t limit = block_.size() - place.offset;
    const size_t length = strnlen(start, limit);
    if (length >= place.width)
      t_.run_on.push_back({place.name, place.width,
                           length == limit ? "past the end of the block"
                                           : "into " + places_[k + 1].name});
    return std::string(start, length);
  }

  std::span<const uint8_t> block_;
  const std::vector<SlotPlace>& places_ = slot_places();
  SlotTexts t_;
};

// Which name made check_directory answer directory_bad_name, and why.
std::string refused_name(std::span<const uint8_t> directory, uint32_t count) {
  EntryCursor cursor;
  start_entries(&cursor, directory.data(), uint32_t(directory.size()), count);
  PayloadEntry entry;
  while (next_entry(&cursor, &entry) == entry_read) {
    NameProblem problem = check_entry_name(entry.name, entry.name_length);
    if (problem == name_ok) continue;
    return fmt::format(": '{}': {}", hex_escaped(std::string_view(entry.name, entry.name_length)),
                       name_problem_text(problem));
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

// The block where the installer's code reads it: a known stub's own place;
// else the start of the configuration section, as lume's stubs have it.
std::vector<uint8_t> block_of(std::span<const uint8_t> all, const PeImage& image,
                              const KnownStub* stub, const std::string& name) {
  if (stub == nullptr) return mapped_block(all, config_section(image, name, "installer"), name);
  auto start = all.begin() + std::ptrdiff_t(stub->block_offset);
  return std::vector<uint8_t>(start, start + sizeof(ConfigBlock));
}

// A certificate table's entries (WIN_CERTIFICATE): each at least its own
// 8-byte header long, of a known revision and type, the next 8-aligned
// behind it, and together they fill the table.
bool sound_certificate_table(std::span<const uint8_t> table) {
  enum : uint16_t { kRevision1 = 0x0100, kRevision2 = 0x0200, kFirstType = 1, kLastType = 4 };
  if (table.size() < 8) return false;
  for (size_t at = 0; at < table.size();) {
    if (table.size() - at < 8) return false;
    const uint32_t length = load_u32le(table.data() + at);
    const uint16_t revision = uint16_t(table[at + 4] | table[at + 5] << 8);
    const uint16_t type = uint16_t(table[at + 6] | table[at + 7] << 8);
    if (length < 8 || length > table.size() - at) return false;
    if ((revision != kRevision1 && revision != kRevision2) || type < kFirstType || type > kLastType)
      return false;
    at += (size_t(length) + 7) & ~size_t(7);
  }
  return true;
}

}  // namespace

bool SlotTexts::runs_on(std::string_view slot) const {
  return std::any_of(run_on.begin(), run_on.end(),
                     [&](const RunOnSlot& r) { return r.slot == slot; });
}

std::span<const uint8_t> Installer::directory() const {
  return std::span<const uint8_t>(bytes).subspan(size_t(payload_offset) + kPayloadHeaderSize,
                                                 header.directory_size);
}

std::span<const uint8_t> Installer::stream() const {
  size_t start = size_t(payload_offset) + kPayloadHeaderSize + header.directory_size;
  return std::span<const uint8_t>(bytes).subspan(start);
}

Installer parse_installer(std::vector<uint8_t> bytes, const fs::path& file,
                          std::span<const KnownStub> known) {
  Installer in;
  in.file = file;
  in.bytes = std::move(bytes);
  std::span<const uint8_t> all(in.bytes);
  const std::string name = shown_path(file);

  std::string problem;
  const std::optional<PeImage> image = read_pe_image(all, problem);
  if (!image)
    throw Error(fmt::format("{}: not a Lume installer: not a Windows program ({})", name, problem));
  const KnownStub* stub = identify_stub(all, known);
  const std::vector<uint8_t> block = block_of(all, *image, stub, name);
  SlotTexts slots = SlotReader(block).read();
  const long offset = payload_offset_value(slots.values[kPayloadOffsetSlot].text.c_str());
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

  if (stub != nullptr) in.stub = stub->name;
  in.block_offset = stub != nullptr ? stub->block_offset
                                    : config_section(*image, name, "installer").file_offset;
  in.payload_offset = uint32_t(offset);
  in.header = h;
  in.slots = std::move(slots);
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
      std::all_of(in.bytes.begin() + std::ptrdiff_t(b.offset),
                  in.bytes.begin() + std::ptrdiff_t(table), [](uint8_t c) { return c == 0; }) &&
      sound_certificate_table(std::span<const uint8_t>(in.bytes).subspan(table)))
    b.certificate_table = true;
  return b;
}

Installer read_installer(const fs::path& file, std::span<const KnownStub> known) {
  return parse_installer(host::read_whole_file(file), file, known);
}

}  // namespace lume
