// Reading the payload from the installer's own file: the pausable,
// cancellable reader the decoder pulls its input through, and the opening
// steps that find and check the header and the directory.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "payload/archive_format.h"

extern FILE* installer_file;  // open from open_payload to close_installer_file
extern unsigned char directory_buffer[kDirectoryBufferSize];

// The messages of a payload that cannot be installed, each stored once
// (the stub's linker would keep a copy for every file that used a literal).
extern const char kIncompleteMessage[];
extern const char kCorruptedMessage[];
extern const char kUnconfiguredMessage[];

// Waits while the user is asked whether to cancel, returns 0 once
// cancelling is confirmed, else reads up to count bytes and returns how many
// came (0 on a read error).
int32_t read_payload(unsigned char* buffer, int32_t count);

// The decoder's input (DecoderInput, payload/decoder.h): the next bytes of
// the file, in pieces of at most 4096, so that a pause takes effect within
// a piece; 0 once cancelled, on a read error and at the end of the file.
int32_t next_payload_bytes(const unsigned char** bytes);

// The installer's own file: the name it was started by, with ".exe" appended
// unless it already ends in it (any letter case). False when that does not
// fit a path.
bool installer_file_name(char* out, const char* program_name);

// Opens the installer's own file, goes to the configured payload offset and
// reads the header and the directory into directory_buffer, refusing a
// directory that does not fit the rules for extraction into folder (which
// ends in '\\'). On success the extraction is set up for that folder (see
// extract_sink.h) and null is returned; otherwise the message to show, with
// the installer file already closed.
const char* open_payload(const char* program_name, const char* folder);

void close_installer_file();
