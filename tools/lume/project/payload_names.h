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

// A file's name in the payload. Throws lume::Error naming shown_name: not
// UTF-8, a character the code page cannot hold, longer than 255 bytes, a
// name the installer refuses, or a path under the assumed folder past 259.
std::string payload_name(std::string_view relative_utf8, int code_page,
                         std::string_view shown_name);

// A text in the code page, or a lume::Error naming what and the character
// that has no form there.
std::string code_page_text(std::string_view utf8, int code_page, std::string_view what);

// Two names, or a name and a folder along another name, that differ only
// in letter case, which Windows would take as one: the message, or nullopt.
std::optional<std::string> case_collision(const std::vector<std::string>& utf8_names);

// Throws lume::Error with case_collision's message.
void refuse_case_collisions(const std::vector<std::string>& utf8_names);

// Letter case folded for the comparisons Windows makes in file names: ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic, which covers the code pages
// the installer runs under.
std::string fold_case(std::string_view utf8);

// The next code point of valid UTF-8 at pos (advanced), or -1 when the bytes
// there are not valid UTF-8.
int32_t next_code_point(std::string_view utf8, size_t& pos);

}  // namespace lume
