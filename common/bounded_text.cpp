#include "common/bounded_text.h"

unsigned text_length(const char* text) {
  unsigned n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Appends source at dest[*used], keeping room for the terminator; *used is
// advanced by what was copied. Returns false when source had to be cut.
static bool put_text(char* dest, unsigned capacity, unsigned* used, const char* source,
                     unsigned limit) {
  unsigned i = 0;
  for (; i < limit && source[i] != 0; ++i) {
    if (*used + 1 >= capacity) {
      dest[*used] = 0;
      return false;
    }
    dest[(*used)++] = source[i];
  }
  dest[*used] = 0;
  return true;
}

bool copy_text_prefix(char* dest, unsigned capacity, const char* source, unsigned count) {
  if (capacity == 0) return false;
  unsigned used = 0;
  return put_text(dest, capacity, &used, source, count);
}

bool copy_text(char* dest, unsigned capacity, const char* source) {
  return copy_text_prefix(dest, capacity, source, ~0u);
}

bool append_text(char* dest, unsigned capacity, const char* tail) {
  if (capacity == 0) return false;
  unsigned used = 0;
  while (used < capacity && dest[used] != 0) ++used;
  if (used == capacity) {  // not terminated inside its buffer: cut it there
    dest[capacity - 1] = 0;
    return false;
  }
  return put_text(dest, capacity, &used, tail, ~0u);
}

bool join_text(char* dest, unsigned capacity, const char* first, const char* second,
               const char* third, const char* fourth) {
  if (capacity == 0) return false;
  const char* parts[4] = {first, second, third, fourth};
  unsigned used = 0;
  dest[0] = 0;
  for (const char* part : parts) {
    if (part != nullptr && !put_text(dest, capacity, &used, part, ~0u)) return false;
  }
  return true;
}

bool ends_with_backslash(const char* text) {
  unsigned n = text_length(text);
  return n > 0 && text[n - 1] == '\\';
}

char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool ends_with_ignoring_case(const char* text, const char* suffix) {
  unsigned n = text_length(text), m = text_length(suffix);
  if (n < m) return false;
  for (unsigned i = 0; i < m; ++i) {
    if (lower_ascii(text[n - m + i]) != lower_ascii(suffix[i])) return false;
  }
  return true;
}
