// The numbers of the payload's stream format, shared by every part of the
// compressor. The decoder (payload/decoder.cpp) carries its own copy in its
// static tables; the round-trip tests keep the two in agreement.
#pragma once

#include <bit>
#include <cstdint>

namespace lume::codec {

inline constexpr uint32_t kWindowSize = 4194304;
inline constexpr uint8_t kWindowFill = 0x20;  // the window starts as spaces

inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 256;
inline constexpr uint32_t kMaxDistance = kWindowSize;

inline constexpr int kLiteralCount = 256;
inline constexpr int kSymbolCount = 510;         // literals, then lengths 3..256
inline constexpr int kLengthCodeCount = 19;      // carries the literal/length code lengths
inline constexpr int kSlotCount = 45;            // slot 44 lies beyond the window
inline constexpr int kUsableSlotCount = 44;
inline constexpr int kMaxCodeLength = 16;

inline constexpr uint32_t kMaxBlockSymbols = 65535;  // the 16-bit block size field

// Field widths of a block header.
inline constexpr int kBlockSizeBits = 16;
inline constexpr int kLengthCodeCountBits = 5;
inline constexpr int kSymbolCountBits = 9;
inline constexpr int kSlotCountBits = 14;
inline constexpr int kGapAfter = 3;   // the gap field follows the third length-code length
inline constexpr int kGapBits = 2;
inline constexpr int kShortRunBits = 4;  // length-code symbol 1: 3 to 18 zeros
inline constexpr int kLongRunBits = 9;   // length-code symbol 2: 20 to 531 zeros
inline constexpr int kShortRunMin = 3, kShortRunMax = 18;
inline constexpr int kLongRunMin = 20, kLongRunMax = 531;

constexpr int length_symbol(int length) { return length + 253; }
constexpr int symbol_length(int symbol) { return symbol - 253; }

// Distance d travels as position d - 1: slots 0-3 are positions 0-3, slot s
// above that holds 2^e positions from (2 + (s & 1)) << e, with e = s / 2 - 1.
constexpr int slot_extra_bits(int slot) { return slot < 4 ? 0 : slot / 2 - 1; }
constexpr uint32_t slot_base(int slot) {
  return slot < 4 ? uint32_t(slot) : (2u + uint32_t(slot & 1)) << slot_extra_bits(slot);
}

constexpr int distance_slot(uint32_t distance) {
  uint32_t position = distance - 1;
  if (position < 4) return int(position);
  int top = std::bit_width(position) - 1;
  return 2 * top + int((position >> (top - 1)) & 1);
}

}  // namespace lume::codec
