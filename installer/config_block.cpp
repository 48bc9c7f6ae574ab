#include "installer/config_block.h"

// Only rows 00 to 09 of the Start-menu table and rows 00 to 07 of the
// desktop table carry keys; the other rows start out empty.
#define START_MENU_ROW(nn) {LUME_KEY_START_MENU_LINK(nn), LUME_KEY_START_MENU_FILE(nn)}
#define DESKTOP_ROW(nn) {LUME_KEY_DESKTOP_LINK(nn), LUME_KEY_DESKTOP_FILE(nn)}

// Writable and external so that no compiler treats the placeholder keys as
// the values: the building tool changes these bytes in the file.
__attribute__((used, section(".data"))) ConfigBlock config = {
    LUME_KEY_PAYLOAD_OFFSET,
    LUME_KEY_APP_TITLE,
    LUME_KEY_FOLDER_NAME,
    LUME_KEY_GROUP_NAME,
    LUME_KEY_RUN_AFTER_INSTALL,
    {START_MENU_ROW("00"), START_MENU_ROW("01"), START_MENU_ROW("02"), START_MENU_ROW("03"),
     START_MENU_ROW("04"), START_MENU_ROW("05"), START_MENU_ROW("06"), START_MENU_ROW("07"),
     START_MENU_ROW("08"), START_MENU_ROW("09")},
    {DESKTOP_ROW("00"), DESKTOP_ROW("01"), DESKTOP_ROW("02"), DESKTOP_ROW("03"),
     DESKTOP_ROW("04"), DESKTOP_ROW("05"), DESKTOP_ROW("06"), DESKTOP_ROW("07")},
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
