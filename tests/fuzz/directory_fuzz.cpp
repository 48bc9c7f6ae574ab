// libFuzzer target: the directory rules on any directory bytes. A directory
// they accept must be walkable exactly as the extraction sink walks it: every
// entry inside the bytes, names within the path limit, sizes adding up.
#include <stddef.h>
#include <stdint.h>

#include "common/bounded_text.h"
#include "payload/archive_format.h"
#include "payload/directory_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  uint32_t file_count = data[0] | uint32_t(data[1]) << 8;
  uint32_t total_size = load_u32le(data + 2);
  unsigned folder_length = 3 + data[6] % 200;
  const unsigned char* directory = data + 9;
  uint32_t directory_size = uint32_t(size - 9);
  if (check_directory(directory, directory_size, file_count, total_size, folder_length) !=
      directory_ok)
    return 0;
  uint32_t at = 0;
  uint64_t sum = 0;
  for (uint32_t k = 0; k < file_count; ++k) {
    if (at + kEntryNameOffset > directory_size) __builtin_trap();
    unsigned name_length = directory[at + kEntryFieldsSize];
    if (at + kEntryNameOffset + name_length > directory_size) __builtin_trap();
    if (name_length == 0 || folder_length + name_length > kPathCapacity - 1) __builtin_trap();
    const char* name = reinterpret_cast<const char*>(directory + at + kEntryNameOffset);
    for (unsigned i = 0; i + 1 < name_length; ++i) {
      if (name[i] == '.' && name[i + 1] == '.' && (i == 0 || name[i - 1] == '\\') &&
          (i + 2 == name_length || name[i + 2] == '\\'))
        __builtin_trap();
    }
    if (name[0] == '\\' || name[name_length - 1] == '\\') __builtin_trap();
    sum += load_u32le(directory + at + 4);
    at += kEntryNameOffset + name_length;
  }
  if (at != directory_size || sum != total_size) __builtin_trap();
  return 0;
}
