// Texts of an installer (code page bytes) shown to people and machines.
#pragma once

#include <string>
#include <string_view>

namespace lume {

// UTF-8 of the code page's text; bytes the code page does not define as \xNN.
std::string decoded_text(std::string_view bytes, int code_page);

// The same for the terminal, through without_controls (base/console.h), so
// that an installer's texts cannot move the cursor, clear the
// screen or set the window's title.
std::string shown_text(std::string_view bytes, int code_page);

// A JSON string literal, quotes included. Bytes that are no valid UTF-8
// (a path may hold any) become U+FFFD, so the literal always is.
std::string json_string(std::string_view text);

}  // namespace lume
