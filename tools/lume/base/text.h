// Text as the tool reads and shows it: the one UTF-8 reader, the characters
// that make a text look other than it is, and the escapes that keep a text
// from a file from acting on the terminal or passing for another.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lume {

// The code point of the valid UTF-8 sequence at pos, and pos moved past it;
// -1, pos unchanged, where the bytes there are no valid UTF-8 (an overlong
// form, a surrogate, a point past U+10FFFF, a cut sequence).
int32_t next_code_point(std::string_view utf8, size_t& pos);
void append_utf8(std::string& out, int32_t code_point);

// Characters that turn the direction of the text around them: U+061C,
// U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069.
// "Invoice<U+202E>fdp.exe" reads as "Invoiceexe.pdf".
bool is_direction_control(int32_t c);
// Characters that show as nothing, or as a plain blank or line break, so
// that a text holding one looks like another: U+00A0, U+00AD, U+200B to
// U+200D, U+2028, U+2029, U+2060, U+FEFF.
bool is_invisible(int32_t c);

// The first direction control or invisible character of what (UTF-8),
// as a message that names it; nullopt when it holds none.
struct HiddenCharacter {
  bool turns_direction = false;  // else it is merely invisible
  std::string message;
};
std::optional<HiddenCharacter> hidden_character(std::string_view what, std::string_view utf8);

// Printable ASCII as it is, every other byte as \xNN: for bytes that are no
// text in any known encoding.
std::string hex_escaped(std::string_view bytes);

// utf8 fit to print: C0 controls and DEL as \xNN (line feeds too, unless
// kept), C1 controls, direction controls and invisible characters as
// \uNNNN, bytes that are no UTF-8 as \xNN. No text from a file can then
// move the cursor, set the terminal's title, turn the text around it or
// pass for another text.
enum class LineFeeds { escape, keep };
std::string escaped_text(std::string_view utf8, LineFeeds line_feeds = LineFeeds::escape);

// A path for a message, escaped as escaped_text does.
std::string shown_path(const std::filesystem::path& path);

// A value from a file for a message: escaped, and cut after
// kQuotedCharacters characters, saying how long it is.
inline constexpr size_t kQuotedCharacters = 64;
std::string quoted_value(std::string_view utf8);

// A JSON string literal, quotes included. Bytes that are no valid UTF-8 (a
// path may hold any) become U+FFFD, so the literal always is; control,
// direction and invisible characters are written as \uNNNN escapes.
std::string json_string(std::string_view text);

}  // namespace lume
