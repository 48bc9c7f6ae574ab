#include "tools/lume/stub/pe_image.h"

#include <fmt/core.h>

#include <algorithm>
#include <cstring>

#include "installer/config_block.h"
#include "tools/lume/base/error.h"

namespace lume {

namespace {

enum : size_t {
  kNewHeaderPointer = 0x3C,  // e_lfanew in the old header
  kSignatureSize = 4,        // "PE\0\0"
  kFileHeaderSize = 20,
  kSectionHeaderSize = 40,
  kResourceEntry = 2,
  kCertificateEntry = 4,
};

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;

// Where the optional header keeps NumberOfRvaAndSizes, with the data
// directory of 8-byte entries right behind it.
constexpr size_t kDirectoryCountAt32 = 92;
constexpr size_t kDirectoryCountAt64 = 108;
constexpr size_t kChecksumAt = 64;  // in both forms of the optional header

uint16_t u16(std::span<const uint8_t> b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
uint32_t u32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

}  // namespace

std::optional<PeImage> read_pe_image(std::span<const uint8_t> bytes, std::string& problem) {
  auto refuse = [&](std::string what) {
    problem = std::move(what);
    return std::nullopt;
  };
  if (bytes.size() < kNewHeaderPointer + 4 || bytes[0] != 'M' || bytes[1] != 'Z')
    return refuse("it does not begin with an MZ header");
  // 64-bit sums: none of the offsets read from the file can wrap.
  const uint64_t pe = u32(bytes, kNewHeaderPointer);
  const uint64_t file_header = pe + kSignatureSize;
  const uint64_t optional = file_header + kFileHeaderSize;
  if (optional + 2 > bytes.size() || std::memcmp(bytes.data() + pe, "PE\0\0", 4) != 0)
    return refuse("it has no PE header");

  PeImage image;
  const unsigned section_count = u16(bytes, file_header + 2);
  const uint64_t optional_size = u16(bytes, file_header + 16);
  const uint16_t magic = u16(bytes, optional);
  if (magic != kPe32Magic && magic != kPe32PlusMagic)
    return refuse(fmt::format("its optional header has the unknown magic {:#x}", magic));
  image.pe32_plus = magic == kPe32PlusMagic;
  if (optional + kChecksumAt + 4 <= bytes.size())
    image.checksum_at = uint32_t(optional + kChecksumAt);

  const uint64_t count_at = optional + (image.pe32_plus ? kDirectoryCountAt64 : kDirectoryCountAt32);
  // Entry k of the data directory: its two words, and where it lies (0 when
  // the headers hold none).
  auto directory_entry = [&](uint64_t k, uint32_t& first, uint32_t& second) -> uint32_t {
    if (count_at + 4 > optional + optional_size || count_at + 4 > bytes.size()) return 0;
    const uint64_t entry = count_at + 4 + k * 8;
    if (u32(bytes, count_at) <= k || entry + 8 > optional + optional_size ||
        entry + 8 > bytes.size())
      return 0;
    first = u32(bytes, entry);
    second = u32(bytes, entry + 4);
    return uint32_t(entry);
  };
  image.certificate_entry_at =
      directory_entry(kCertificateEntry, image.certificate_offset, image.certificate_size);
  directory_entry(kResourceEntry, image.resource_address, image.resource_size);

  const uint64_t table = optional + optional_size;
  if (table + uint64_t(section_count) * kSectionHeaderSize > bytes.size())
    return refuse("its section table lies outside the file");
  for (unsigned k = 0; k < section_count; ++k) {
    const size_t at = table + size_t(k) * kSectionHeaderSize;
    PeSection s;
    const char* text = reinterpret_cast<const char*>(bytes.data() + at);
    s.name.assign(text, strnlen(text, 8));
    s.virtual_size = u32(bytes, at + 8);
    s.virtual_address = u32(bytes, at + 12);
    s.file_size = u32(bytes, at + 16);
    s.file_offset = u32(bytes, at + 20);
    image.sections.push_back(std::move(s));
  }
  return image;
}

namespace {
constexpr std::string_view kConfigSection = LUME_CONFIG_SECTION;
}  // namespace

const PeSection& config_section(const PeImage& image, const std::string& name, const char* what) {
  const PeSection* found = nullptr;
  for (const PeSection& s : image.sections) {
    if (s.name != kConfigSection) continue;
    // The stub's code names one of them, which the headers do not tell.
    if (found)
      throw Error(fmt::format("{}: not a sound Lume {}: it has more than one {} section",
                              name, what, kConfigSection));
    found = &s;
  }
  if (!found)
    throw Error(fmt::format("{}: not a Lume {} (it has no {} section)", name, what,
                            kConfigSection));
  return *found;
}

// The block as the loaded stub sees it: the section's file bytes, and zeros
// where the loader fills the section beyond them.
std::vector<uint8_t> mapped_block(std::span<const uint8_t> all, const PeSection& section,
                                  const std::string& name) {
  // A virtual size of 0 is read as the file size, as the loader does.
  const uint64_t mapped = section.virtual_size ? section.virtual_size : section.file_size;
  if (mapped < sizeof(ConfigBlock))
    throw Error(fmt::format("{}: its {} section holds {} bytes, "
                            "the configuration block needs {}",
                            name, kConfigSection, mapped, sizeof(ConfigBlock)));
  const uint64_t from_file = std::min<uint64_t>(section.file_size, sizeof(ConfigBlock));
  if (uint64_t(section.file_offset) + from_file > all.size())
    throw Error(fmt::format("{}: cut short: its {} section ends at byte {}, the file has {}", name,
                            kConfigSection, uint64_t(section.file_offset) + section.file_size,
                            all.size()));
  std::vector<uint8_t> block(sizeof(ConfigBlock), 0);
  std::copy_n(all.begin() + section.file_offset, from_file, block.begin());
  return block;
}

}  // namespace lume
