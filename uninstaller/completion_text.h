// What the uninstaller says when it is done. Pure code: no platform call.
#pragma once

// Records the uninstaller would not act on (removal_rules.h), by what they
// name: each is an item the installation's record lists but left in place.
struct LeftInPlace {
  unsigned files;      // "0" records outside the installation folder
  unsigned shortcuts;  // "1" and "2" records outside the shell folders of their kind
  unsigned keys;       // "3" records that name another key than the registration
};

enum {
  // The longest text: a path of 259 bytes and the fixed lines with their numbers.
  kCompletionTextSize = 512,
};

// "Uninstall Complete." when nothing was left in place. Otherwise a text
// that says so, with how many items were left and where, one line for each
// place that holds any. out holds kCompletionTextSize bytes.
void compose_completion_text(char* out, const LeftInPlace* left, const char* installation_folder);
