// The uninstall data file "lumeuins.dat": a title line, then one record per
// line, each a kind character followed directly by its text.
//
//   "0" file   "1" Start-menu shortcut   "2" desktop shortcut   "3" registry key
//
// Lines end in a single line feed. The installer appends with write_text and
// write_line to the one open data file; the uninstaller reads it back with
// read_line. Only the C runtime's buffered files are used, so this compiles
// for the host as well.
#pragma once

#include <stdint.h>
#include <stdio.h>

enum {
  kDataLineLimit = 260,  // bytes of one line before its line feed
};

#define LUME_UNINSTALLER_NAME "lumeuins.exe"
#define LUME_UNINSTALL_DATA_NAME "lumeuins.dat"
#define LUME_UNINSTALLER_COPY_NAME "lumeuinsx.exe"
#define LUME_UNINSTALL_KEY_PREFIX "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"

enum RecordKind : char {
  record_file = '0',
  record_group_shortcut = '1',
  record_desktop_shortcut = '2',
  record_registry_key = '3',
};

// The data file the installer is writing; null when none is open.
extern FILE* uninstall_data_file;

// Appends text without terminator or line end; does nothing without a file.
void write_text(const char* text);

// write_text of text, then of "\n".
void write_line(const char* text);

// One record: its kind character directly followed by text, then "\n".
void write_record(RecordKind kind, const char* text);

// Writes count bytes; returns count when all were written, else 0.
uint32_t write_bytes(FILE* stream, const void* bytes, uint32_t count);

// Reads one line into buffer, which holds limit + 1 bytes. The line feed is
// not stored (a carriage return before it is). Returns true (the end flag)
// when the stream ended or failed before a line feed: the bytes read so far
// are still delivered. A line of exactly limit bytes is read whole, its line
// feed included; a longer one is returned in pieces of limit bytes with the
// end flag false, each call continuing behind the last.
bool read_line(char* buffer, unsigned limit, FILE* stream);
