// The one walk over the entries of a payload directory, for the rules that
// check it, the sink that extracts it and the building tool that reads it
// back. Pure code: no platform call.
#pragma once

#include <stdint.h>

#include "payload/archive_format.h"

// One entry as the cursor hands it out.
struct PayloadEntry {
  EntryFields fields;
  const char* name;  // name_length bytes inside the directory, not terminated
  unsigned name_length;
};

struct EntryCursor {
  const unsigned char* directory;
  uint32_t directory_size;
  uint32_t position;      // where the next entry begins
  uint32_t entries_left;  // entries not yet handed out
};

enum EntryStep {
  entry_read,     // *entry holds the next entry
  entries_done,   // all file_count entries were handed out
  entry_overrun,  // the next entry would run past directory_size
};

void start_entries(EntryCursor* cursor, const unsigned char* directory, uint32_t directory_size,
                   uint32_t file_count);

// Steps to the next entry. On anything but entry_read the cursor stays.
EntryStep next_entry(EntryCursor* cursor, PayloadEntry* entry);
