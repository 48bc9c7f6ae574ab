// What the payload's reader and sink need from the program around them.
//
// The payload code reads the installer's own file and writes the files it
// holds; where the payload begins, whether the user has paused or cancelled,
// what the user sees of a file beginning and what a fatal error does belong
// to the installer. It declares them here and the installer defines them
// (installer/payload_hooks.cpp), so nothing in payload/ reaches up. The
// Windows-side tests link the installer's definitions and steer them
// through its shared state and configuration block.
#pragma once

enum {
  kPollMs = 100,  // how often a waiting main thread looks at the dialog's words again
};

// The configured payload offset: the PayloadOffset slot read by the rules
// of atoi; 0 or less when the installer was never configured.
long payload_offset();

// True while the user is asked whether to cancel: reading waits.
bool payload_paused();

// True once the user has confirmed cancelling: nothing more is read or written.
bool payload_cancelled();

// A file begins: name is its relative name, shown to the user. Returns
// once the user can see it.
void payload_file_begins(const char* name);

// A payload that cannot be installed as it stands: shows message and ends
// the process with exit status 1. The payload code has closed its own
// files before calling it.
[[noreturn]] void payload_failed(const char* message);
