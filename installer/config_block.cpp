#include "installer/config_block.h"

#include "common/bounded_text.h"

// Only rows 00 to 09 of the Start-menu table and rows 00 to 07 of the
// desktop table carry keys; the other rows start out empty.
#define START_MENU_ROW(row, nn) {LUME_KEY_START_MENU_LINK(nn), LUME_KEY_START_MENU_FILE(nn)},
#define DESKTOP_ROW(row, nn) {LUME_KEY_DESKTOP_LINK(nn), LUME_KEY_DESKTOP_FILE(nn)},

// Writable and external so that no compiler treats the placeholder keys as
// the values: the building tool changes these bytes in the file. The
// block has its section to itself (LUME_CONFIG_SECTION).
__attribute__((used, section(LUME_CONFIG_SECTION))) ConfigBlock config = {
    LUME_KEY_PAYLOAD_OFFSET,
    LUME_KEY_APP_TITLE,
    LUME_KEY_FOLDER_NAME,
    LUME_KEY_GROUP_NAME,
    LUME_KEY_RUN_AFTER_INSTALL,
    {LUME_START_MENU_KEYED_ROWS(START_MENU_ROW)},
    {LUME_DESKTOP_KEYED_ROWS(DESKTOP_ROW)},
};

static bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

long payload_offset_value(const char* text) {
  const long kMax = 0x7fffffffL;
  while (is_space(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    int digit = *text - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return negative ? -value : value;
}

const char* arguments_mark(const char* file_field) {
  static const char kMark[] = ".exe ";
  for (const char* at = file_field; *at != 0; ++at) {
    unsigned i = 0;
    while (kMark[i] != 0 && lower_ascii(at[i]) == kMark[i]) ++i;
    if (kMark[i] == 0) return at + i - 1;
  }
  return nullptr;
}

