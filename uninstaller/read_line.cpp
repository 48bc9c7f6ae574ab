// The uninstaller's side of the data file, apart from the writers so that
// the stub, which only writes, links none of it.
#include "uninstaller/uninstall_data.h"

bool read_line(char* buffer, unsigned limit, FILE* stream) {
  unsigned stored = 0;
  for (;;) {
    int c = getc(stream);
    if (c == EOF) {
      buffer[stored] = 0;
      return true;
    }
    if (c == '\n') break;
    if (stored == limit) {
      // A full line without its line feed: the byte read belongs to the next line.
      ungetc(c, stream);
      break;
    }
    buffer[stored++] = char(c);
  }
  buffer[stored] = 0;
  return false;
}
