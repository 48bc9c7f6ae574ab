// The parser's output and the block writer's input: literals and matches
// already mapped to their literal/length symbol, position slot and extra bits.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "tools/lume/codec/stream_format.h"

namespace lume::codec {

struct Token {
  uint16_t symbol = 0;  // a literal byte, or length_symbol(match length)
  uint8_t slot = 0;     // matches only
  uint32_t extra = 0;   // the slot's extra-bit value; matches only

  bool is_match() const { return symbol >= kLiteralCount; }
};

inline Token literal_token(uint8_t byte) { return Token{byte, 0, 0}; }

inline Token match_token(int length, uint32_t distance) {
  int slot = distance_slot(distance);
  return Token{uint16_t(length_symbol(length)), uint8_t(slot), distance - 1 - slot_base(slot)};
}

inline int token_length(const Token& token) {
  return token.is_match() ? symbol_length(token.symbol) : 1;
}

inline uint32_t token_distance(const Token& token) {
  return slot_base(token.slot) + token.extra + 1;
}

// How often each symbol and slot occurs among some tokens.
struct SymbolStats {
  std::array<uint32_t, kSymbolCount> symbols{};
  std::array<uint32_t, kSlotCount> slots{};

  void add(const Token& token) {
    ++symbols[token.symbol];
    if (token.is_match()) ++slots[token.slot];
  }
  void add(std::span<const Token> tokens) {
    for (const Token& token : tokens) add(token);
  }
};

}  // namespace lume::codec
