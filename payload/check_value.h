// The check value of a payload file: a CRC-32 register with the reflected
// polynomial 0xEDB88320, preset to 0xFFFFFFFF and stored without the final
// inversion, so it is the complement of the usual CRC-32 (empty: 0xFFFFFFFF).
#pragma once

#include <stdint.h>

enum : uint32_t { kCheckPreset = 0xFFFFFFFFu };

extern uint32_t crc_table[256];

// Fills crc_table; done once before the first check value is taken.
void build_crc_table();

// Runs the register over count bytes and returns it.
uint32_t update_check(uint32_t check, const unsigned char* bytes, uint32_t count);
