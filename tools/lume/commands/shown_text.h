// Texts of an installer (code page bytes) shown to people and machines.
#pragma once

#include <string>
#include <string_view>

namespace lume {

// UTF-8 for the terminal; bytes the code page does not define as \xNN.
std::string shown_text(std::string_view bytes, int code_page);

// A JSON string literal, quotes included, of UTF-8 text.
std::string json_string(std::string_view utf8);

}  // namespace lume
