// libFuzzer target: any bytes as an installer, through what `lume list`
// (text and JSON) and `lume verify` run on it. lume::Error is the tool's
// answer to a file that is no sound installer; a crash, a sanitizer's
// report, any other exception, a raw control character in the text for the
// terminal or JSON that is no valid UTF-8 is a find.
//
// Each listing and verify decode the stream again, and every decoding
// starts by filling the decoder's 4 MiB window. The window fill of
// decoder_window_fill.h (forced into the decoder by CMakeLists.txt)
// restores only the bytes a decoding can have written: no more than the
// header's size and one match behind it.
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/fuzz/decoder_window_fill.h"
#include "tools/lume/archive/installer_reader.h"
#include "tools/lume/base/console.h"
#include "tools/lume/base/error.h"
#include "tools/lume/commands/list.h"
#include "tools/lume/commands/verify.h"

namespace {

constexpr size_t kLastMatch = 258;  // the longest match a decoding may write beyond its size

// Checked here without the tool's own code: bytes that decode as UTF-8
// (no overlong forms, no surrogates, nothing past U+10FFFF).
bool valid_utf8(const std::string& text) {
  for (size_t k = 0; k < text.size();) {
    unsigned char c = text[k];
    if (c < 0x80) {
      ++k;
      continue;
    }
    size_t length = c < 0x80 ? 1 : c >> 5 == 6 ? 2 : c >> 4 == 14 ? 3 : c >> 3 == 30 ? 4 : 0;
    if (length == 0 || k + length > text.size()) return false;
    uint32_t point = length == 1 ? c : c & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
      if ((uint8_t(text[k + i]) & 0xC0) != 0x80) return false;
      point = point << 6 | (uint8_t(text[k + i]) & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kLeast[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
      return false;
    k += length;
  }
  return true;
}

bool has_raw_control(const std::string& text) {
  for (unsigned char c : text)
    if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    lume::Installer in =
        lume::parse_installer(std::vector<uint8_t>(data, data + size), "fuzz.exe", {});
    // Each call below decodes the stream once, writing no more of the
    // window than this; the next fill restores only that.
    const size_t written = std::min<size_t>(kWindowSize, in.header.total_size + kLastMatch);
    // Code page 65001 hands the installer's bytes through as they are, C1
    // controls included.
    if (has_raw_control(lume::list_text(in, 65001))) __builtin_trap();
    fuzz_window_changed = written;
    if (!valid_utf8(lume::list_json(in, 65001))) __builtin_trap();
    fuzz_window_changed = written;
    lume::Console console(lume::ProgressStyle::none);
    lume::verify_installer(in, 1252, console);
    fuzz_window_changed = written;
  } catch (const lume::Error&) {
  }
  return 0;
}
