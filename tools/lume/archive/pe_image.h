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
  uint32_t file_offset = 0;  // PointerToRawData
  uint32_t file_size = 0;    // SizeOfRawData
};

struct PeImage {
  bool pe32_plus = false;
  std::vector<PeSection> sections;
  // Data directory 4: the one entry that holds a file offset, not an
  // address in the loaded image. Both 0 in an unsigned program.
  uint32_t certificate_offset = 0;
  uint32_t certificate_size = 0;
};

// The headers of a PE32 or PE32+ program; nullopt, and what is wrong in
// problem, when bytes hold none.
std::optional<PeImage> read_pe_image(std::span<const uint8_t> bytes, std::string& problem);

}  // namespace lume
