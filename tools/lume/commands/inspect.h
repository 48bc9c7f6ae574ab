// `lume list`, `lume verify` and `lume extract`: reading installers back.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/cli/console.h"

namespace lume {

// The slots and the file table, for people.
std::string list_text(const Installer& installer, int code_page);
// The same as one JSON object, for machines.
std::string list_json(const Installer& installer, int code_page);

// Decodes the whole payload and checks every file and the total. Returns
// what failed; empty when the installer is sound.
std::vector<std::string> verify_installer(const Installer& installer, int code_page,
                                          Console& console);

// Writes the payload's files under folder with their last access and last
// write times, by the installer's name rules: nothing lands outside folder,
// and no symbolic link found there is followed. Returns what failed (files
// whose contents do not check are removed again); throws lume::Error when
// writing itself fails.
std::vector<std::string> extract_installer(const Installer& installer,
                                           const std::filesystem::path& folder, int code_page,
                                           Console& console);

}  // namespace lume
