#include "tools/lume/commands/shown_text.h"

#include <fmt/core.h>

#include "tools/lume/host/host_system.h"

namespace lume {

std::string shown_text(std::string_view bytes, int code_page) {
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

std::string json_string(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
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
