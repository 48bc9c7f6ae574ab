#include "uninstaller/completion_text.h"

#include "common/bounded_text.h"

// count in decimal behind out's text.
static void append_count(char* out, unsigned count) {
  char digits[12];
  unsigned at = sizeof digits - 1;
  digits[at] = 0;
  do {
    digits[--at] = char('0' + count % 10);
    count /= 10;
  } while (count != 0);
  append_text(out, kCompletionTextSize, digits + at);
}

void compose_completion_text(char* out, const LeftInPlace* left, const char* installation_folder) {
  const unsigned counts[] = {left->files + left->shortcuts + left->keys, left->files,
                             left->shortcuts, left->keys};
  if ((left->files | left->shortcuts | left->keys) == 0) {
    copy_text(out, kCompletionTextSize, "Uninstall Complete.");
    return;
  }
  // Nothing here claims a whole removal: the record names items that this
  // uninstaller would not touch, and they are all still there. A line for
  // each place that holds any, "<where>: <count>".
  const char* const lines[][2] = {
      {"Uninstall finished. Recorded items left in place", ""},
      {"\nFiles outside ", installation_folder},
      {"\nShortcuts outside the Start menu and the desktop", ""},
      {"\nRegistry keys other than this program's entry", ""},
  };
  out[0] = 0;
  for (unsigned i = 0; i < 4; ++i) {
    if (counts[i] == 0) continue;
    join_text(out + text_length(out), kCompletionTextSize - text_length(out), lines[i][0],
              lines[i][1], ": ");
    append_count(out, counts[i]);
  }
}
