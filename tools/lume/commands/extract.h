// `lume extract`: writes an installer's files into a folder, with their times.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/console.h"

namespace lume {

enum class ExistingFiles { refuse, replace };

// Writes the payload's files under folder with their last access and last
// write times, by the installer's name rules: nothing lands outside folder
// (host/output_folder.h), and no symbolic link below it is followed. Refused
// before anything is written: an installer whose stub lume does not know, a
// name twice in the payload, a file already there unless existing says
// replace; then it is replaced only by a file that is whole and checks.
// Returns what failed (files whose contents do not check are not written);
// throws lume::Error when writing itself fails.
std::vector<std::string> extract_installer(const Installer& installer,
                                           const std::filesystem::path& folder, int code_page,
                                           Console& console,
                                           ExistingFiles existing = ExistingFiles::refuse);

}  // namespace lume
