// `lume build`: a project file, a source folder and a stub make an installer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "tools/lume/base/console.h"

namespace lume {

struct BuildRequest {
  std::filesystem::path project_file;
  std::filesystem::path output;  // empty: <folder name>Setup.exe in the current folder
  std::filesystem::path stub;
  int level = 0;
  int jobs = 0;  // threads that compress; 0: one per core. The installer does not depend on it.
  // Stored times later than this (FILETIME ticks) are stored as this.
  std::optional<uint64_t> latest_time = std::nullopt;
};

struct BuildResult {
  std::filesystem::path output;
  size_t file_count = 0;
  uint64_t total_size = 0;
  uint64_t installer_size = 0;
  size_t files_clamped = 0;  // files with a time brought back to latest_time
};

// The reproducible-builds convention: SOURCE_DATE_EPOCH, seconds since 1970
// in decimal digits, is the latest time an installer stores. nullopt when
// value is null or empty; throws lume::Error naming the variable for any
// other text that is no such number.
std::optional<uint64_t> latest_time_from_source_date_epoch(const char* value);

// Checks everything before the first byte is compressed; throws lume::Error
// naming the file and the problem, and then leaves no output file behind.
BuildResult build_installer(const BuildRequest& request, Console& console);

}  // namespace lume
