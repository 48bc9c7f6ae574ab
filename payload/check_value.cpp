#include "payload/check_value.h"

uint32_t crc_table[256];

void build_crc_table() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    crc_table[n] = c;
  }
}

uint32_t update_check(uint32_t check, const unsigned char* bytes, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) check = crc_table[(check ^ bytes[i]) & 0xFF] ^ (check >> 8);
  return check;
}
