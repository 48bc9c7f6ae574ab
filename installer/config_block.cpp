#include "installer/config_block.h"

#include "common/bounded_text.h"

// Each slot begins with its key; a table's keyed rows carry theirs, and
// the rows behind them start out empty.
#define KEY_OF_SLOT(name, kind, width, key) key,
#define KEYS_OF_ROW(link_key, file_key, nn) {link_key nn, file_key nn},
#define KEYS_OF_TABLE(name, keyed_rows, link_key, file_key) \
  {keyed_rows(KEYS_OF_ROW, link_key, file_key)},

// Writable and external so that no compiler treats the placeholder keys as
// the values: the building tool changes these bytes in the file. The
// block has its section to itself (LUME_CONFIG_SECTION).
__attribute__((used, section(LUME_CONFIG_SECTION))) ConfigBlock config = {
    LUME_CONFIG_SLOTS(KEY_OF_SLOT, KEYS_OF_TABLE)};

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

