// The payload's header and directory, as the builder writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lume/host/file_time.h"

namespace lume {

struct PayloadFileEntry {
  std::string name;  // code page bytes, "\" between folders
  uint32_t size = 0;
  uint32_t check = 0;
  FileTimes times;
};

// Bytes the directory takes for these names (for the early size check).
uint64_t directory_size_of(const std::vector<std::string>& names);

// PayloadHeader followed by the directory. The entries must satisfy the
// directory rules under the assumed installation folder; a directory the
// installer would refuse throws lume::Error.
std::vector<uint8_t> header_and_directory(const std::vector<PayloadFileEntry>& entries);

}  // namespace lume
