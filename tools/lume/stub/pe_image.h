// What an installer's Windows headers say about where its pieces lie: the
// sections the loader maps, and the certificate table a signature adds.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lume {

struct PeSection {
  std::string name;  // up to 8 characters, without its padding
  uint32_t virtual_size = 0;
  uint32_t virtual_address = 0;  // in the loaded image
  uint32_t file_offset = 0;      // PointerToRawData
  uint32_t file_size = 0;    // SizeOfRawData
};

struct PeImage {
  bool pe32_plus = false;
  std::vector<PeSection> sections;
  // Data directory 4: the one entry that holds a file offset, not an
  // address in the loaded image. Both 0 in an unsigned program.
  uint32_t certificate_offset = 0;
  uint32_t certificate_size = 0;
  // Where the fields that signing sets lie in the file: the optional
  // header's check sum, and the certificate table's entry (0 when the data
  // directory has none).
  uint32_t checksum_at = 0;
  uint32_t certificate_entry_at = 0;
  // Data directory 2: the resources' root, an address in the loaded image.
  uint32_t resource_address = 0;
  uint32_t resource_size = 0;
};

// The headers of a PE32 or PE32+ program; nullopt, and what is wrong in
// problem, when bytes hold none.
std::optional<PeImage> read_pe_image(std::span<const uint8_t> bytes, std::string& problem);

// The section that holds the configuration block and nothing else: where
// the stub's code reads it, so where the tool reads and writes it. Throws
// lume::Error naming the file (a Lume `what`: "installer", "stub") when the
// image has none, or more than one, as the headers cannot say which the
// code uses.
const PeSection& config_section(const PeImage& image, const std::string& name, const char* what);

// The block as the loaded stub sees it: the section's file bytes, and zeros
// where the loader fills the section beyond them. Throws when the section
// is too small for the block or the file ends within it.
std::vector<uint8_t> mapped_block(std::span<const uint8_t> all, const PeSection& section,
                                  const std::string& name);

}  // namespace lume
