// libFuzzer target: any bytes as a project file, through the project-file
// reader. lume::Error is its answer to a bad file; a crash, a sanitizer's
// report or any other exception is a find.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/lume/base/error.h"
#include "tools/lume/project/project_file.h"

namespace {

// The reader takes a file: one per process, rewritten for every input.
const std::filesystem::path& project_path() {
  static const std::filesystem::path path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "lume-project-fuzz-XXXXXX");
    if (mkdtemp(folder.data()) == nullptr) abort();
    return std::filesystem::path(folder) / "lume.toml";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path& path = project_path();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
    abort();
  try {
    lume::read_project(path);
  } catch (const lume::Error&) {
  }
  return 0;
}
