// The three code tables of one block: the literal/length and position-slot
// codes built from the block's own statistics, and the cheapest way to send
// their lengths in the block header.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/lume/codec/bit_writer.h"
#include "tools/lume/codec/stream_format.h"
#include "tools/lume/codec/token.h"

namespace lume::codec {

// One field of a block header.
struct HeaderField {
  uint32_t value;
  uint8_t bits;
};

struct CodeTables {
  // A symbol that a single-symbol table names has length 0 here: its code
  // takes no bits. Symbols that do not occur have length 0 too.
  std::array<uint8_t, kSymbolCount> symbol_lengths{};
  std::array<uint16_t, kSymbolCount> symbol_codes{};
  std::array<uint8_t, kSlotCount> slot_lengths{};
  std::array<uint16_t, kSlotCount> slot_codes{};
  // Everything after the block size field up to the first symbol.
  std::vector<HeaderField> header;
  uint64_t header_bits = 0;
};

// Builds the tables for tokens with these statistics. The block must hold
// at least one token.
CodeTables build_code_tables(const SymbolStats& stats);

// The bits of the block's symbols, their extra bits included, under tables.
uint64_t symbol_bits(const CodeTables& tables, const SymbolStats& stats);

void write_header(BitWriter& out, const CodeTables& tables);

}  // namespace lume::codec
