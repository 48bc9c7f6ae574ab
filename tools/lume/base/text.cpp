#include "tools/lume/base/text.h"

#include <fmt/core.h>

#include <algorithm>

namespace lume {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

const char* character_name(int32_t c) {
  switch (c) {
    case 0x00A0: return "no-break space";
    case 0x00AD: return "soft hyphen";
    case 0x061C: return "Arabic letter mark";
    case 0x200B: return "zero width space";
    case 0x200C: return "zero width non-joiner";
    case 0x200D: return "zero width joiner";
    case 0x200E: return "left-to-right mark";
    case 0x200F: return "right-to-left mark";
    case 0x2028: return "line separator";
    case 0x2029: return "paragraph separator";
    case 0x202A: return "left-to-right embedding";
    case 0x202B: return "right-to-left embedding";
    case 0x202C: return "pop directional formatting";
    case 0x202D: return "left-to-right override";
    case 0x202E: return "right-to-left override";
    case 0x2060: return "word joiner";
    case 0x2066: return "left-to-right isolate";
    case 0x2067: return "right-to-left isolate";
    case 0x2068: return "first strong isolate";
    case 0x2069: return "pop directional isolate";
    case 0xFEFF: return "zero width no-break space";
  }
  return "character";
}

bool is_c1_control(int32_t c) { return c >= 0x80 && c <= 0x9F; }

bool is_plain(unsigned char c) { return c >= 0x20 && c < 0x7F; }

// Where the run of printable ASCII from pos ends, which every escape copies
// as it is; most texts are all of it. For JSON, quotes and backslashes end
// it too.
enum class Quotes { plain, escaped };
size_t plain_run_end(std::string_view text, size_t pos, Quotes quotes = Quotes::plain) {
  while (pos < text.size() && is_plain(uint8_t(text[pos])) &&
         (quotes == Quotes::plain || (text[pos] != '"' && text[pos] != '\\')))
    ++pos;
  return pos;
}

// "\x1B", "\u202E", "\u202e": an escape of value in digits hex digits.
void append_escape(std::string& out, char kind, uint32_t value, int digits, bool lower = false) {
  const char* hex = lower ? "0123456789abcdef" : "0123456789ABCDEF";
  char escape[6] = {'\\', kind};
  for (int k = 0; k < digits; ++k) escape[2 + k] = hex[(value >> (4 * (digits - 1 - k))) & 0xF];
  out.append(escape, size_t(2 + digits));
}

}  // namespace

int32_t next_code_point(std::string_view s, size_t& pos) {
  auto byte = [&](size_t i) { return i < s.size() ? uint8_t(s[i]) : 0; };
  const uint8_t lead = byte(pos);
  const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3
                                     : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || pos + size_t(length) > s.size()) return -1;
  int32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((byte(pos + size_t(i)) & 0xC0) != 0x80) return -1;
    c = c << 6 | (byte(pos + size_t(i)) & 0x3F);
  }
  // Overlong forms, surrogates and points past U+10FFFF are not UTF-8.
  static const int32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return -1;
  pos += size_t(length);
  return c;
}

void append_utf8(std::string& out, int32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | c >> 12);
    out += char(0x80 | (c >> 6 & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | c >> 18);
    out += char(0x80 | (c >> 12 & 0x3F));
    out += char(0x80 | (c >> 6 & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

bool is_direction_control(int32_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

bool is_invisible(int32_t c) {
  return c == 0x00A0 || c == 0x00AD || (c >= 0x200B && c <= 0x200D) || c == 0x2028 ||
         c == 0x2029 || c == 0x2060 || c == 0xFEFF;
}

std::optional<HiddenCharacter> hidden_character(std::string_view what, std::string_view utf8) {
  for (size_t pos = 0; pos < utf8.size();) {
    if (uint8_t(utf8[pos]) < 0x80) {
      ++pos;
      continue;
    }
    int32_t c = next_code_point(utf8, pos);
    if (c < 0) {
      ++pos;
      continue;
    }
    if (is_direction_control(c))
      return HiddenCharacter{
          true, fmt::format("{} holds U+{:04X} ({}), which turns the direction of the text "
                            "around it: it would not read as it is",
                            what, c, character_name(c))};
    if (is_invisible(c))
      return HiddenCharacter{
          false, fmt::format("{} holds U+{:04X} ({}), which shows as nothing or as a plain "
                             "blank: it would look like another text",
                             what, c, character_name(c))};
  }
  return std::nullopt;
}

std::string hex_escaped(std::string_view bytes) {
  // Written in place: a text that is no text at all may be long.
  size_t size = 0;
  for (unsigned char c : bytes) size += is_plain(c) ? 1 : 4;
  std::string out(size, '\0');
  char* at = out.data();
  for (unsigned char c : bytes) {
    if (is_plain(c)) {
      *at++ = char(c);
      continue;
    }
    const char escape[4] = {'\\', 'x', "0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 0xF]};
    at = std::copy_n(escape, 4, at);
  }
  return out;
}

std::string escaped_text(std::string_view utf8, LineFeeds line_feeds) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    size_t start = pos;
    pos = plain_run_end(utf8, pos);
    out.append(utf8.substr(start, pos - start));
    if (pos == utf8.size()) break;
    start = pos;
    const int32_t c = next_code_point(utf8, pos);
    if (c < 0) {
      append_escape(out, 'x', uint8_t(utf8[pos++]), 2);
    } else if ((c < 0x20 && !(c == '\n' && line_feeds == LineFeeds::keep)) || c == 0x7F) {
      append_escape(out, 'x', uint32_t(c), 2);
    } else if (is_c1_control(c) || is_direction_control(c) || is_invisible(c)) {
      append_escape(out, 'u', uint32_t(c), 4);
    } else {
      out += utf8.substr(start, pos - start);
    }
  }
  return out;
}

std::string shown_path(const std::filesystem::path& path) { return escaped_text(path.native()); }

std::string quoted_value(std::string_view utf8) {
  size_t pos = 0;
  for (size_t characters = 0; pos < utf8.size() && characters < kQuotedCharacters; ++characters)
    if (next_code_point(utf8, pos) < 0) ++pos;
  if (pos == utf8.size()) return escaped_text(utf8);
  return fmt::format("{}... ({} bytes in all)", escaped_text(utf8.substr(0, pos)), utf8.size());
}

std::string json_string(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (size_t pos = 0; pos < text.size();) {
    size_t start = pos;
    pos = plain_run_end(text, pos, Quotes::escaped);
    out.append(text.substr(start, pos - start));
    if (pos == text.size()) break;
    start = pos;
    const int32_t c = next_code_point(text, pos);
    if (c < 0) {
      out += kReplacement;
      ++pos;
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F || is_c1_control(c) || is_direction_control(c) ||
            is_invisible(c))
          append_escape(out, 'u', uint32_t(c), 4, true);
        else
          out += text.substr(start, pos - start);
    }
  }
  return out + "\"";
}

}  // namespace lume
