// Cutting the decoded stream into the directory's files.
//
// The decoder hands out its output in chunks that ignore file boundaries;
// the cutter walks the directory alongside, opens each file when the first
// byte that belongs to it (or to a file behind it) arrives, passes its bytes
// on, runs its check value over them, and closes it before the next one
// opens. The installer's sink and the building tool's verify and extract
// are the same cut with different calls. Pure code: no platform call.
#pragma once

#include <stdint.h>

#include "payload/entry_cursor.h"

// What happens to the files; context is handed back to every call.
struct CutterCalls {
  // A file begins. False stops the cut before any of its bytes is taken.
  bool (*open)(void* context, const PayloadEntry* entry);
  // Bytes of the open file. Returns count when all were written, else 0:
  // bytes not written count as not consumed, although the file's count and
  // check value have taken them, so the shortfall shows when it is checked.
  uint32_t (*write)(void* context, const unsigned char* bytes, uint32_t count);
  // The open file ends; check is the register over the bytes it was given.
  void (*close)(void* context, const PayloadEntry* entry, uint32_t check);
  void* context;
};

struct StreamCutter {
  EntryCursor entries;     // the entries not yet opened
  PayloadEntry current;    // the open file's entry, meaningful while file_open
  bool file_open;
  uint32_t bytes_done;     // bytes of the open file taken so far
  uint32_t running_check;  // check value register over them
};

void start_cutting(StreamCutter* cutter, const unsigned char* directory, uint32_t directory_size,
                   uint32_t file_count);

// Takes count decoded bytes and returns how many were consumed: fewer when
// the directory is used up (the surplus belongs to no file), when open
// refused a file, or when writes failed.
uint32_t cut_stream(StreamCutter* cutter, const CutterCalls* calls, const unsigned char* bytes,
                    uint32_t count);

// Closes the open file, whether or not it has all its bytes.
void close_cut_file(StreamCutter* cutter, const CutterCalls* calls);

// True when the open file has all its bytes (or no file is open).
bool cut_file_complete(const StreamCutter* cutter);

// Once every byte of the stream has been cut: closes the last file, then
// opens and closes, in order, the entries that follow it. Their sizes are
// 0 (the sizes add up to the stream's), so they were never reached by a
// byte. Stops early when open refuses one.
void cut_empty_entries(StreamCutter* cutter, const CutterCalls* calls);
