// The one pass over an installer's payload that list, verify and extract
// share: the stream decoded and cut into the directory's files, and what
// lies behind it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/lume/archive/file_cutter.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/console.h"

namespace lume {

// Decodes the installer's stream through cutter, showing progress under
// action, and says what fell short: a damaged stream, bytes the header names
// but the stream does not give, files never finished. stream_used, when
// given, is told how many of the stream's bytes an intact stream took.
std::vector<std::string> decode_payload(const Installer& installer, FileCutter& cutter,
                                        const char* action, int code_page, Console& console,
                                        size_t* stream_used = nullptr);

// "<name>: check value <got>, the directory holds <expected>".
std::string check_mismatch(const PayloadFileEntry& file, uint32_t check, int code_page);

// What lies behind the stream, found by decoding it; nullopt when the
// stream is damaged, as then nothing says where it would have ended.
std::optional<Behind> measured_behind(const Installer& installer);

// What lies behind the stream, for people: "nothing", "a certificate table
// (not validated) of N bytes at offset X", "N stray bytes at offset X".
std::string behind_text(const Behind& behind);

}  // namespace lume
