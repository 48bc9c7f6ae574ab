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

// Returns what failed; empty when the installer is sound. Bytes behind the
// stream fail it unless they are the installer's signature; behind, when
// given, is told what lies there once the stream has decoded intact.
std::vector<std::string> verify_installer(const Installer& installer, int code_page,
                                          Console& console, Behind* behind = nullptr);

// What lies behind the stream, for people: "nothing", "a signature of N
// bytes at offset X", "N stray bytes at offset X".
std::string behind_text(const Behind& behind);

// Decodes the installer's stream through cutter, showing progress under
// action, and says what fell short: a damaged stream, bytes the header names
// but the stream does not give, files never finished. stream_used, when
// given, is told how many of the stream's bytes an intact stream took.
std::vector<std::string> decode_payload(const Installer& installer, FileCutter& cutter,
                                        const char* action, int code_page, Console& console,
                                        size_t* stream_used = nullptr);

// "<name>: check value <got>, the directory holds <expected>".
std::string check_mismatch(const PayloadFileEntry& file, uint32_t check, int code_page);

}  // namespace lume
