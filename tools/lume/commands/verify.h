// `lume verify`: decodes the whole payload, cuts it into the directory's
// files and checks each one. Extract makes the same pass and writes the files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/archive/file_cutter.h"
#include "tools/lume/base/console.h"

namespace lume {

// Returns what failed; empty when the installer is sound.
std::vector<std::string> verify_installer(const Installer& installer, int code_page,
                                          Console& console);

// Decodes the installer's stream through cutter, showing progress under
// action, and says what fell short: a damaged stream, bytes the header names
// but the stream does not give, files never finished.
std::vector<std::string> decode_payload(const Installer& installer, FileCutter& cutter,
                                        const char* action, int code_page, Console& console);

// "<name>: check value <got>, the directory holds <expected>".
std::string check_mismatch(const PayloadFileEntry& file, uint32_t check, int code_page);

}  // namespace lume
