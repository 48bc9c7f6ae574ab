// The building tool's checks of slot texts, apart from config_block.cpp so
// that the stub, which links that file, does not carry their texts.
#include "installer/config_block.h"

int first_control_character(const char* text, unsigned length) {
  for (unsigned i = 0; i < length; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c < 0x20 || c == 0x7F) return int(i);
  }
  return -1;
}

const char* control_character_name(unsigned char c) {
  switch (c) {
    case 0x00: return "NUL";
    case 0x08: return "backspace";
    case 0x09: return "tab";
    case 0x0A: return "line feed";
    case 0x0B: return "vertical tab";
    case 0x0C: return "form feed";
    case 0x0D: return "carriage return";
    case 0x1B: return "escape";
    case 0x7F: return "delete";
  }
  return "control character";
}
