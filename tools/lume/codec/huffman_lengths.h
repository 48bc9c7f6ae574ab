// Optimal length-limited prefix codes (package-merge) and their canonical
// code words, as the decoder assigns them: shorter codes first, and within
// one length in symbol order.
#pragma once

#include <cstdint>
#include <span>

namespace lume::codec {

// Fills lengths with the code lengths of least total cost sum(freq * length)
// among the codes whose lengths stay within max_length. Symbols of frequency
// 0 get 0. Two or more used symbols always get a complete code; a lone used
// symbol gets length 1, which the caller sends in single-symbol form.
void limited_code_lengths(std::span<const uint32_t> freqs, int max_length,
                          std::span<uint8_t> lengths);

// The canonical code word of each symbol, right-aligned in `length` bits.
void canonical_codes(std::span<const uint8_t> lengths, std::span<uint16_t> codes);

// The number of symbols with a length above 0.
int used_symbols(std::span<const uint8_t> lengths);

}  // namespace lume::codec
