// libFuzzer target: any bytes as an installer's manifest, through the reader
// that finds the execution level it requests. The reader answers every
// input with a level or a problem; a crash or a sanitizer's report is a find.
#include <stddef.h>
#include <stdint.h>

#include <string_view>

#include "tools/lume/stub/manifest_level.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lume::level_in_manifest(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
