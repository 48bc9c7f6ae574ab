#include "payload/check_value.h"

#include "payload/archive_format.h"

uint32_t crc_table[256];

// crc_slices[k][n]: the register after byte n followed by k + 1 zero bytes,
// from a register of 0. With them the update takes eight bytes per step
// through eight independent lookups, instead of one byte per dependent one.
static uint32_t crc_slices[7][256];

void build_crc_table() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    crc_table[n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = crc_table[n];
    for (int k = 0; k < 7; ++k) {
      c = crc_table[c & 0xFF] ^ (c >> 8);
      crc_slices[k][n] = c;
    }
  }
}

uint32_t update_check(uint32_t check, const unsigned char* bytes, uint32_t count) {
  for (; count >= 8; count -= 8, bytes += 8) {
    uint32_t low = check ^ load_u32le(bytes);
    uint32_t high = load_u32le(bytes + 4);
    check = crc_slices[6][low & 0xFF] ^ crc_slices[5][(low >> 8) & 0xFF] ^
            crc_slices[4][(low >> 16) & 0xFF] ^ crc_slices[3][low >> 24] ^
            crc_slices[2][high & 0xFF] ^ crc_slices[1][(high >> 8) & 0xFF] ^
            crc_slices[0][(high >> 16) & 0xFF] ^ crc_table[high >> 24];
  }
  for (; count > 0; --count, ++bytes) check = crc_table[(check ^ *bytes) & 0xFF] ^ (check >> 8);
  return check;
}
