// Copying and joining zero-terminated 8-bit texts into fixed buffers.
//
// Every path, caption and message of the stub and the uninstaller is built
// with these few functions and nothing else. Each takes the capacity of the
// destination in bytes, terminator included, never writes past it, always
// leaves a terminated text (unless the capacity is 0), and tells whether the
// whole result fitted. A text that did not fit is cut: it holds the first
// capacity - 1 bytes of what would have been written.
#pragma once

enum {
  kPathCapacity = 260,  // the platform's path limit, terminator included
};

unsigned text_length(const char* text);

// dest = source
bool copy_text(char* dest, unsigned capacity, const char* source);

// dest = dest + tail
bool append_text(char* dest, unsigned capacity, const char* tail);

// dest = first + second [+ third [+ fourth]]; null parts are left out.
bool join_text(char* dest, unsigned capacity, const char* first, const char* second,
               const char* third = nullptr, const char* fourth = nullptr);

// dest = the first count bytes of source (fewer if source ends sooner).
bool copy_text_prefix(char* dest, unsigned capacity, const char* source, unsigned count);

// True when text is not empty and its last byte is '\\'.
bool ends_with_backslash(const char* text);

// 'A'..'Z' as 'a'..'z'; every other byte as it is. Other letters of the
// code page are compared exactly, which they match when both texts come
// from one source.
char lower_ascii(char c);

// Case-insensitive (ASCII) test that text ends in suffix.
bool ends_with_ignoring_case(const char* text, const char* suffix);
