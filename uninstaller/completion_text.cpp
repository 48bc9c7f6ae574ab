#include "uninstaller/completion_text.h"

// Copies text to at, stopping one byte short of end (the terminator's
// place); returns where the next text goes.
static char* put(char* at, char* end, const char* text) {
  while (*text != 0 && at < end - 1) *at++ = *text++;
  return at;
}

static char* put_count(char* at, char* end, unsigned count) {
  char digits[12];
  unsigned first = sizeof digits - 1;
  digits[first] = 0;
  do {
    digits[--first] = char('0' + count % 10);
    count /= 10;
  } while (count != 0);
  return put(at, end, digits + first);
}

void compose_completion_text(char* out, const LeftInPlace* left, const char* installation_folder) {
  char* at = out;
  char* end = out + kCompletionTextSize;
  const unsigned counts[] = {left->files + left->shortcuts + left->keys, left->files,
                             left->shortcuts, left->keys};
  if ((left->files | left->shortcuts | left->keys) == 0) at = put(at, end, "Uninstall Complete.");
  // Nothing else claims a whole removal: the record names items that this
  // uninstaller would not touch, and they are all still there. A line for
  // each place that holds any, "<where>: <count>".
  const char* const lines[][2] = {
      {"Uninstall finished. Recorded items left in place", ""},
      {"\nFiles outside ", installation_folder},
      {"\nShortcuts outside the Start menu and the desktop", ""},
      {"\nRegistry keys other than this program's entry", ""},
  };
  for (unsigned i = 0; i < 4; ++i) {
    if (counts[i] == 0) continue;
    at = put(put(put(at, end, lines[i][0]), end, lines[i][1]), end, ": ");
    at = put_count(at, end, counts[i]);
  }
  *at = 0;
}
