#include "tools/lume/host/shown_text.h"

#include "tools/lume/base/text.h"
#include "tools/lume/host/host_system.h"

namespace lume {

std::string decoded_text(std::string_view bytes, int code_page) {
  if (std::optional<std::string> text = host::from_code_page(bytes, code_page)) return *text;
  return hex_escaped(bytes);
}

std::string shown_text(std::string_view bytes, int code_page) {
  return escaped_text(decoded_text(bytes, code_page));
}

}  // namespace lume
