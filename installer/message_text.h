// Texts the installer builds from a message or from the configuration,
// sized so that nothing can overflow (no platform call, tested on the host).
#pragma once

enum {
  kErrorTextSize = 272,    // "Error: " and the message
  kSetupCaptionSize = 294,  // a 287-character title and " Setup"
};

// "Error: " followed by text, cut to fit kErrorTextSize; the prefix and the
// start of the message always survive.
void compose_error_text(char* out, const char* text);

// title followed by " Setup".
void compose_setup_caption(char* out, const char* title);
