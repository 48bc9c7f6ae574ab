// What the parsers believe each literal, length and distance will cost, in
// sixteenths of a bit: taken from the code lengths a block's statistics
// would get, or from fixed guesses before any statistics exist.
#pragma once

#include <array>
#include <cstdint>

#include "tools/lume/codec/stream_format.h"
#include "tools/lume/codec/token.h"

namespace lume::codec {

inline constexpr uint32_t kPriceScale = 16;  // price units per bit

struct Prices {
  std::array<uint32_t, kLiteralCount> literal{};
  std::array<uint32_t, kMaxMatch + 1> length{};  // indexed by match length
  std::array<uint32_t, kSlotCount> slot{};        // the slot's code and extra bits

  uint32_t distance(uint32_t distance) const { return slot[size_t(distance_slot(distance))]; }
  uint32_t match(int length_, uint32_t distance_) const {
    return length[size_t(length_)] + distance(distance_);
  }
};

// Guesses for a start without statistics: literals of 8 bits, lengths and
// slots dearer the rarer they usually are.
Prices initial_prices();

// Prices from the code lengths these statistics would get. Symbols that do
// not occur are priced as a little dearer than the rarest that do.
Prices prices_from(const SymbolStats& stats);

}  // namespace lume::codec
