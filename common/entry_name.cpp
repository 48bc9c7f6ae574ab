#include "common/entry_name.h"

static bool is_reserved(unsigned char c) {
  return c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*';
}

// Three letters as one number, compared with immediates: a table of names
// would bring this file's read-only data, the problem texts among them,
// into the stub and the uninstaller.
static constexpr unsigned letters(char a, char b, char c) {
  return (unsigned)(unsigned char)a | (unsigned)(unsigned char)b << 8 |
         (unsigned)(unsigned char)c << 16;
}

// Setting bit 5 turns exactly 'A'..'Z' and 'a'..'z' into the lower-case
// letter; no other byte becomes a letter that way.
static unsigned lower_letters(const char* part) {
  return letters(part[0], part[1], part[2]) | letters(' ', ' ', ' ');
}

// The port digits Windows reserves after COM and LPT: 0 to 9, and the
// superscripts one to three, as code page bytes (0xB9, 0xB2, 0xB3 in 1252
// and the code pages that share its upper half) or as UTF-8 (0xC2 before
// those bytes) for code page 65001.
static bool is_superscript_byte(unsigned char c) { return c == 0xB9 || c == 0xB2 || c == 0xB3; }
static bool is_port_digit(const char* digit, unsigned length) {
  unsigned char first = (unsigned char)digit[0];
  if (length == 1) return (first >= '0' && first <= '9') || is_superscript_byte(first);
  return length == 2 && first == 0xC2 && is_superscript_byte((unsigned char)digit[1]);
}

bool is_device_name(const char* part, unsigned length) {
  // Windows reads a device name in what comes before the first dot, blanks
  // behind it dropped: "nul", "NUL.txt", "con .log" and "aux..." alike.
  unsigned base = 0;
  while (base < length && part[base] != '.') ++base;
  while (base > 0 && part[base - 1] == ' ') --base;
  if (base < 3 || base > 7) return false;
  unsigned name = lower_letters(part);
  if (name == letters('c', 'o', 'm') || name == letters('l', 'p', 't'))
    return is_port_digit(part + 3, base - 3);
  if (name != letters('c', 'o', 'n'))
    return base == 3 && (name == letters('p', 'r', 'n') || name == letters('a', 'u', 'x') ||
                         name == letters('n', 'u', 'l'));
  // CON, and the console's two ends CONIN$ and CONOUT$ ('$' keeps bit 5).
  if (base == 3) return true;
  if (base == 6) return lower_letters(part + 3) == letters('i', 'n', '$');
  return base == 7 && lower_letters(part + 3) == letters('o', 'u', 't') && part[6] == '$';
}

// One component: the bytes between two backslashes (or the ends).
static NameProblem check_component(const char* part, unsigned length) {
  if (length == 0) return name_empty_component;
  if ((length == 1 && part[0] == '.') || (length == 2 && part[0] == '.' && part[1] == '.'))
    return name_dot_component;
  char last = part[length - 1];
  if (last == '.' || last == ' ') return name_trailing_dot_or_blank;
  if (is_device_name(part, length)) return name_device_name;
  return name_ok;
}

NameProblem check_entry_name(const char* name, unsigned length) {
  if (length == 0) return name_empty;
  if (name[0] == '\\') return name_leading_backslash;
  if (name[length - 1] == '\\') return name_trailing_backslash;
  for (unsigned i = 0; i < length; ++i) {
    unsigned char c = (unsigned char)name[i];
    if (c < 0x20) return name_control_character;
    if (c == ':') return name_has_drive;
    if (c == '/') return name_has_forward_slash;
    if (is_reserved(c)) return name_reserved_character;
  }
  unsigned start = 0;
  for (unsigned i = 0; i <= length; ++i) {
    if (i == length || name[i] == '\\') {
      NameProblem problem = check_component(name + start, i - start);
      if (problem != name_ok) return problem;
      start = i + 1;
    }
  }
  return name_ok;
}
