// Texts of an installer (code page bytes) shown to people and machines.
#pragma once

#include <string>
#include <string_view>

namespace lume {

// UTF-8 of the code page's text; when the code page does not define its
// bytes, the whole text as hex_escaped (base/text.h) gives it.
std::string decoded_text(std::string_view bytes, int code_page);

// The same for the terminal, through escaped_text (base/text.h), so that an
// installer's texts cannot move the cursor, clear the screen, set the
// window's title or pass for other texts.
std::string shown_text(std::string_view bytes, int code_page);

}  // namespace lume
