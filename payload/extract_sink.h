// The extraction sink: the decoder's output function. It cuts the decoded
// stream into the files of the payload directory, whatever the chunk
// boundaries, and for each file shows its name, creates the folders along
// its path, creates the file, records it in the uninstall data file before
// its first byte, writes it while running its check value, and on closing
// verifies the check value and sets its three stored times.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "common/bounded_text.h"
#include "payload/archive_format.h"
#include "payload/stream_cutter.h"

// Everything the sink keeps from the first decoded byte to the last file's
// close. Set up by start_extraction, then changed only by the sink.
struct ExtractionState {
  // The walk over the directory: the entries not yet opened (the count of
  // which is the installer's files_left), the current entry, how many of its
  // bytes have come and their check value.
  StreamCutter cutter;
  // Bytes still to be written; every byte written lowers it, so it is 0
  // exactly when the extraction is complete.
  uint32_t remaining_bytes;
  const char* folder;                // the installation folder, ending in '\\'
  FILE* current_file;                // the file being written, or null
  char current_path[kPathCapacity];  // its full path
};
extern ExtractionState extraction;

// The form before the first byte: the directory's first entry next, no
// file open, every byte of header.total_size still to come.
void start_extraction(const char* folder, const unsigned char* directory,
                      const PayloadHeader& header);

// Takes count decoded bytes and returns how many it consumed: fewer than
// count once the directory is used up (the surplus is dropped) or once the
// extraction is cancelled (from then on nothing more is written or
// created). A file that cannot be created, or one that fails its check
// value, ends the process through payload_failed.
int32_t extract_write(const unsigned char* buffer, int32_t count);

// Closes the current file, if any; unless the extraction was cancelled,
// verifies its check value and gives it its stored times.
void close_current_file();

// After the decoder has returned: closes the last file and, when the
// extraction is complete and not cancelled, creates the empty entries that
// follow the last byte and so were never reached.
void finish_extraction();

// Ends an extraction that cannot go on (a stream the decoder refused):
// closes the file being written as it stands and calls payload_failed.
[[noreturn]] void fail_extraction(const char* message);

// Creates the folders along path, then the file itself with mode "wb".
FILE* open_output_file(const char* path);

// Creates every folder of path up to its last backslash; path is changed
// during the walk and restored. Failures (existing folders, the drive) are
// ignored: a folder that could not be made shows when its file cannot be.
void make_folder_chain(char* path);
