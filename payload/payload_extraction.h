// Extracting the payload into a folder: what the installer calls, in two
// steps. open_payload (archive_reader.h) opens the installer's own file and
// reads the payload's header and directory; it may come well before the
// folder is known. extract_payload then decodes the stream into the files
// of that directory below the folder, each checked and given its times.
#pragma once

enum ExtractionResult {
  extraction_complete,   // every file is in place
  extraction_cancelled,  // the user cancelled; the files so far stay
  extraction_failed,     // the files so far stay; *message says why
};

// Extracts the payload that open_payload opened into folder (ending in
// '\\'), after checking that every name fits a path below it, and closes the
// installer's file. Waits, when decoding ends, for an open cancel question
// to be answered. A file that cannot be created, one that fails its check
// value and a stream with invalid tables end the process through
// payload_failed (payload_hooks.h).
ExtractionResult extract_payload(const char* folder, const char** message);
