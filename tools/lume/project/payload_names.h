// The names the installer will carry: on-disk names (UTF-8, "/" between
// folders) turned into the installer's code page with "\" between folders,
// held to the rules the installer applies before it writes a single file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lume {

// The builder assumes an installation folder this long (its final
// backslash included), so that every name fits the platform's path limit
// under any folder a user is likely to choose.
inline constexpr unsigned kAssumedFolderLength = 100;

// A file's name in the payload. Throws lume::Error naming the file on_disk
// (escaped): a direction control (base/text.h), not UTF-8, a character the
// code page cannot hold or whose second byte there is a backslash, longer
// than 255 bytes, a name the installer refuses, or a path under the assumed
// folder past 259.
std::string payload_name(std::string_view relative_utf8, int code_page,
                         std::string_view on_disk);

// A text in the code page, or a lume::Error naming what and the character
// that has no form there.
std::string code_page_text(std::string_view utf8, int code_page, std::string_view what);

// The character of utf8 whose form in the code page is two bytes, the second
// 0x5C, the byte of '\' (in code page 932 and other double-byte ones), as
// "'x' (U+0078)"; nullopt when there is none.
std::optional<std::string> character_with_backslash_byte(std::string_view utf8, int code_page);

// The same name twice, two names, or a name and a folder along another
// name, that differ only in letter case, which Windows would take as one:
// the message, or nullopt.
std::optional<std::string> case_collision(const std::vector<std::string>& utf8_names);

// "the payload holds 'x' twice; ...": a name twice in a payload, which the
// installer writes twice, the second over the first.
std::string named_twice(std::string_view utf8_name);

// Throws lume::Error with case_collision's message.
void refuse_case_collisions(const std::vector<std::string>& utf8_names);

// Letter case folded for the comparisons Windows makes in file names: ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic, which covers the code pages
// the installer runs under.
std::string fold_case(std::string_view utf8);

}  // namespace lume
