#include "installer/message_text.h"

#include "common/bounded_text.h"

void compose_error_text(char* out, const char* text) {
  join_text(out, kErrorTextSize, "Error: ", text);
}

void compose_setup_caption(char* out, const char* title) {
  join_text(out, kSetupCaptionSize, title, " Setup");
}
