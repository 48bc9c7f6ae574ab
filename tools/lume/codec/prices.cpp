#include "tools/lume/codec/prices.h"

#include <algorithm>

#include "tools/lume/codec/huffman_lengths.h"

namespace lume::codec {
namespace {

// The price of a code length, with one for codes that do not exist yet.
uint32_t code_price(uint8_t length, uint32_t absent) {
  return length == 0 ? absent : uint32_t(length) * kPriceScale;
}

uint32_t absent_price(const uint8_t* lengths, size_t count) {
  int longest = *std::max_element(lengths, lengths + count);
  return uint32_t(std::clamp(longest + 1, 6, int(kMaxCodeLength))) * kPriceScale;
}

}  // namespace

Prices initial_prices() {
  Prices prices;
  prices.literal.fill(8 * kPriceScale + kPriceScale / 2);
  for (int length = kMinMatch; length <= kMaxMatch; ++length)
    prices.length[size_t(length)] = length < 10 ? (4 + (length - kMinMatch) / 2) * kPriceScale
                                                : std::min(12 + length / 32, 16) * kPriceScale;
  for (int slot = 0; slot < kSlotCount; ++slot)
    prices.slot[size_t(slot)] = uint32_t(5 + slot / 6 + slot_extra_bits(slot)) * kPriceScale;
  return prices;
}

Prices prices_from(const SymbolStats& stats) {
  std::array<uint8_t, kSymbolCount> symbol_lengths{};
  std::array<uint8_t, kSlotCount> slot_lengths{};
  limited_code_lengths(stats.symbols, kMaxCodeLength, symbol_lengths);
  limited_code_lengths(stats.slots, kMaxCodeLength, slot_lengths);
  uint32_t absent_symbol = absent_price(symbol_lengths.data(), symbol_lengths.size());
  uint32_t absent_slot = absent_price(slot_lengths.data(), slot_lengths.size());

  Prices prices;
  for (int s = 0; s < kLiteralCount; ++s)
    prices.literal[size_t(s)] = code_price(symbol_lengths[size_t(s)], absent_symbol);
  for (int length = kMinMatch; length <= kMaxMatch; ++length)
    prices.length[size_t(length)] =
        code_price(symbol_lengths[size_t(length_symbol(length))], absent_symbol);
  for (int slot = 0; slot < kSlotCount; ++slot)
    prices.slot[size_t(slot)] = code_price(slot_lengths[size_t(slot)], absent_slot) +
                                uint32_t(slot_extra_bits(slot)) * kPriceScale;
  return prices;
}

}  // namespace lume::codec
