// Reading the payload from the installer's own file: the opening step that
// finds and checks the header and the directory, and the pausable,
// cancellable input the decoder reads the stream through.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "payload/archive_format.h"

extern FILE* installer_file;  // open from open_payload to close_installer_file
extern PayloadHeader payload_header;
extern unsigned char directory_buffer[kDirectoryBufferSize];

// The installer's own file: the name it was started by, with ".exe" appended
// unless it already ends in it (any letter case). False when that does not
// fit a path.
bool installer_file_name(char* out, const char* program_name);

// Opens the installer's own file, goes to the configured payload offset and
// reads the header into payload_header and the directory into
// directory_buffer, refusing a directory that breaks the rules (its names
// are checked on their own here; against the installation folder when the
// payload is extracted). Returns null, the file left open at the first byte
// of the stream, or the message to show, the file closed.
const char* open_payload(const char* program_name);

// Waits while the user is asked whether to cancel; then true once
// cancelling is confirmed: nothing more is read.
bool payload_stopped();

// The decoder's input (DecoderInput, payload/decoder.h): the next bytes of
// the file, in pieces of at most 4096, so that a pause takes effect within
// a piece; 0 once stopped, on a read error and at the end of the file.
int32_t next_payload_bytes(const unsigned char** bytes);

void close_installer_file();
