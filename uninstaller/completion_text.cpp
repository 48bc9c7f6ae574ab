#include "uninstaller/completion_text.h"

#include "common/bounded_text.h"

// "<label>: <count>" on a line of its own, left out for a count of 0.
static void append_line(char* out, const char* label, const char* place, unsigned count) {
  if (count == 0) return;
  char digits[12];
  unsigned at = sizeof digits - 1;
  digits[at] = 0;
  do {
    digits[--at] = char('0' + count % 10);
    count /= 10;
  } while (count != 0);
  append_text(out, kCompletionTextSize, label);
  append_text(out, kCompletionTextSize, place);
  append_text(out, kCompletionTextSize, ": ");
  append_text(out, kCompletionTextSize, digits + at);
}

void compose_completion_text(char* out, const LeftInPlace* left, const char* installation_folder) {
  if ((left->files | left->shortcuts | left->keys) == 0) {
    copy_text(out, kCompletionTextSize, "Uninstall Complete.");
    return;
  }
  // Nothing here claims a whole removal: the record names items that this
  // uninstaller would not touch, and they are all still there.
  copy_text(out, kCompletionTextSize, "");
  append_line(out, "Uninstall finished. Recorded items left in place", "",
              left->files + left->shortcuts + left->keys);
  append_text(out, kCompletionTextSize, "\n");
  append_line(out, "\nFiles outside ", installation_folder, left->files);
  append_line(out, "\nShortcuts outside the Start menu and the desktop", "", left->shortcuts);
  append_line(out, "\nRegistry keys other than this program's entry", "", left->keys);
}
