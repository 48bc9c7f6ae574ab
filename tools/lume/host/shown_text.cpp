#include "tools/lume/commands/shown_text.h"

#include <fmt/core.h>

#include "tools/lume/base/console.h"
#include "tools/lume/host/host_system.h"

namespace lume {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence at the start of text, or 0:
// no overlong forms, no surrogates, nothing beyond U+10FFFF.
size_t sequence_length(std::string_view text) {
  auto byte = [&](size_t k) { return k < text.size() ? uint8_t(text[k]) : 0; };
  auto follows = [&](size_t k) { return (byte(k) & 0xC0) == 0x80; };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return follows(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return byte(1) >= low && byte(1) <= high && follows(2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const uint8_t low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    return byte(1) >= low && byte(1) <= high && follows(2) && follows(3) ? 4 : 0;
  }
  return 0;
}

}  // namespace

std::string decoded_text(std::string_view bytes, int code_page) {
  if (std::optional<std::string> text = host::from_code_page(bytes, code_page)) return *text;
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F)
      out += char(c);
    else
      out += fmt::format("\\x{:02X}", c);
  }
  return out;
}

std::string shown_text(std::string_view bytes, int code_page) {
  return without_controls(decoded_text(bytes, code_page));
}

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (size_t k = 0; k < text.size();) {
    const unsigned char c = uint8_t(text[k]);
    const size_t length = sequence_length(text.substr(k));
    if (length == 0) {
      out += kReplacement;
      ++k;
      continue;
    }
    if (length > 1) {
      out += text.substr(k, length);
      k += length;
      continue;
    }
    ++k;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20)
          out += fmt::format("\\u{:04x}", c);
        else
          out += char(c);
    }
  }
  return out + "\"";
}

}  // namespace lume
