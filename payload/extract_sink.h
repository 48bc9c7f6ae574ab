// The extraction sink: the decoder's output function. It cuts the decoded
// stream into the files of the payload directory, whatever the chunk
// boundaries, and for each file creates the folders along its path, shows
// its name, records it in the uninstall data file before its first byte,
// writes it while running its check value, and on closing verifies the check
// value and sets its three stored times.
//
// Works on the directory in directory_buffer and the counters files_left and
// remaining_bytes of the archive reader; writes below install_folder.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "payload/archive_format.h"

enum { kStatusTextId = 2020 };  // the progress dialog's line for the file name

extern uint32_t next_entry;  // offset in directory_buffer of the next entry to open
extern PayloadEntryFixed current_entry;
extern uint32_t bytes_done;  // bytes of the current entry taken so far
extern uint32_t running_check;
extern FILE* current_file;
extern char current_path[kPathCapacity];

// No entry open, the first entry next: the form before the first byte.
void reset_extraction();

// Takes count decoded bytes and returns how many it consumed: fewer than
// count once the directory is used up (the surplus is dropped) or once
// cancel_flag is set (from then on nothing more is written or created).
// A file that cannot be created, or one that fails its check value, ends
// the process with exit status 1 after its message.
int32_t extract_write(const unsigned char* buffer, int32_t count);

// Closes the current file, if any; unless cancel_flag is set, verifies its
// check value and gives it its stored times.
void close_current_file();

// After the decoder has returned: closes the last file and, when the
// extraction is complete and not cancelled, creates the empty entries that
// follow the last byte and so were never reached.
void finish_extraction();

// Shows message through show_error and ends the process with exit status 1,
// the reaction to a payload that cannot be installed as it stands.
void end_installation_with(const char* message);

// Creates the folders along path, then the file itself with mode "wb".
FILE* open_output_file(const char* path);

// Creates every folder of path up to its last backslash; path is changed
// during the walk and restored. Failures (existing folders, the drive) are
// ignored: a folder that could not be made shows when its file cannot be.
void make_folder_chain(char* path);
