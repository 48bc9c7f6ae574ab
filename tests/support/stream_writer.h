// Streams of the payload format written field by field, for decoder tests
// and fuzz seeds. Deliberately independent of the compressor, and able to
// write what no compressor would: any table, any bits, broken ones too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lume_test {

class BitWriter {
 public:
  // Appends the low n bits of value, most significant first.
  void put(uint32_t value, unsigned n) {
    for (unsigned i = n; i-- > 0;) put_bit((value >> i) & 1);
  }
  void put_bit(unsigned bit) {
    if (used_ == 0) bytes_.push_back(0);
    if (bit) bytes_.back() |= static_cast<uint8_t>(0x80u >> used_);
    used_ = (used_ + 1) & 7;
  }
  // A position's extra bits: fields over 16 bits go low 16 bits first.
  void put_long(uint32_t value, unsigned n) {
    if (n <= 16) return put(value, n);
    put(value & 0xFFFF, 16);
    put(value >> 16, n - 16);
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::size_t bit_count() const { return bytes_.size() * 8 - (used_ == 0 ? 0 : 8 - used_); }

 private:
  std::vector<uint8_t> bytes_;
  unsigned used_ = 0;
};

// Canonical codes for a set of lengths: shorter codes first, within one
// length in symbol order; code[s] holds the code right-aligned.
inline std::vector<uint32_t> canonical_codes(const std::vector<unsigned>& lengths) {
  std::vector<uint32_t> codes(lengths.size(), 0);
  uint32_t next = 0;
  for (unsigned length = 1; length <= 16; ++length) {
    for (std::size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] == length) codes[s] = next++;
    }
    next <<= 1;
  }
  return codes;
}

// A 3-bit length with its escape (7 = 111 0, 8 = 111 10, ...).
inline void put_escaped_length(BitWriter& w, unsigned length) {
  if (length < 7) return w.put(length, 3);
  w.put(7, 3);
  for (unsigned i = 7; i < length; ++i) w.put_bit(1);
  w.put_bit(0);
}

// Short-length encoding of lengths[0..n): count, lengths, and for the
// length-code alphabet the gap field after the third (gap zeros are skipped
// from lengths, which must hold zeros there).
inline void put_short_lengths(BitWriter& w, const std::vector<unsigned>& lengths, unsigned n,
                              unsigned count_bits, bool with_gap, unsigned gap = 0) {
  w.put(n, count_bits);
  unsigned i = 0;
  while (i < n) {
    put_escaped_length(w, lengths[i++]);
    if (with_gap && i == 3) {
      w.put(gap, 2);
      i += gap;
    }
  }
}

inline void put_single_symbol(BitWriter& w, unsigned count_bits, unsigned symbol) {
  w.put(0, count_bits);
  w.put(symbol, count_bits);
}

// One step of the literal/length lengths: a length-code symbol and its bits.
struct LengthStep {
  unsigned code;        // 0..18
  unsigned extra = 0;   // v of symbol 1 (4 bits) or symbol 2 (9 bits)
};

inline void put_length_steps(BitWriter& w, const std::vector<LengthStep>& steps,
                             const std::vector<unsigned>& length_code_lengths) {
  std::vector<uint32_t> codes = canonical_codes(length_code_lengths);
  for (const LengthStep& step : steps) {
    w.put(codes[step.code], length_code_lengths[step.code]);
    if (step.code == 1) w.put(step.extra, 4);
    if (step.code == 2) w.put(step.extra, 9);
  }
}

// The plainest steps for a set of literal/length lengths: one step per
// position, zeros as symbol 0, lengths as symbol length + 2.
inline std::vector<LengthStep> plain_steps(const std::vector<unsigned>& lengths, unsigned n) {
  std::vector<LengthStep> steps;
  for (unsigned i = 0; i < n; ++i) steps.push_back({lengths[i] == 0 ? 0u : lengths[i] + 2});
  return steps;
}

// A complete code over all 19 length-code symbols, enough for plain_steps
// and for zero runs: 13 codes of 4 bits and 6 of 5 bits (13/16 + 6/32 = 1).
inline std::vector<unsigned> plain_length_code_lengths() {
  std::vector<unsigned> lengths(19, 5);
  for (unsigned i = 0; i < 13; ++i) lengths[i] = 4;
  return lengths;
}

}  // namespace lume_test

namespace lume_test {

// A decoded symbol as a test describes it: a literal byte, or a match.
struct Item {
  unsigned length = 0;    // 0: literal; else a match of 3..256 bytes
  unsigned value = 0;     // the literal byte
  uint32_t distance = 0;  // 1..6291456
  static Item literal(unsigned byte) { return {0, byte, 0}; }
  static Item match(unsigned length, uint32_t distance) { return {length, 0, distance}; }
};

inline unsigned slot_of(uint32_t position) {
  if (position < 4) return position;
  unsigned extra = 1;
  while ((4u << extra) <= position) ++extra;  // position < 4 * 2^extra
  unsigned base = 2u << extra;                 // 2 * 2^extra
  return 2 * (extra + 1) + (position >= base + (1u << extra) ? 1 : 0);
}

inline unsigned extra_bits_of(unsigned slot) { return slot < 4 ? 0 : slot / 2 - 1; }

inline uint32_t slot_base(unsigned slot) {
  if (slot < 4) return slot;
  unsigned extra = extra_bits_of(slot);
  return (2u + (slot & 1)) << extra;
}

// A block: its code lengths (or single-symbol forms) and its items.
struct Block {
  // The length-code alphabet, sent with all 19 lengths; gap zeros from the
  // fourth length on go in the gap field (the lengths must hold them).
  std::vector<unsigned> length_code_lengths = plain_length_code_lengths();
  unsigned length_code_gap = 0;
  std::vector<unsigned> symbol_lengths = std::vector<unsigned>(510, 0);
  std::vector<unsigned> slot_lengths = std::vector<unsigned>(45, 0);
  int single_symbol = -1;  // literal/length single-symbol form
  int single_slot = -1;    // position-slot single-symbol form
  std::vector<Item> items;
  unsigned symbol_count_override = 0;  // block size field, if not items.size()
};

inline void put_block(BitWriter& w, const Block& b) {
  w.put(b.symbol_count_override ? b.symbol_count_override : unsigned(b.items.size()), 16);
  const std::vector<unsigned>& lc = b.length_code_lengths;
  put_short_lengths(w, lc, 19, 5, true, b.length_code_gap);
  if (b.single_symbol >= 0) {
    put_single_symbol(w, 9, unsigned(b.single_symbol));
  } else {
    unsigned n = 510;
    while (n > 0 && b.symbol_lengths[n - 1] == 0) --n;
    w.put(n, 9);
    put_length_steps(w, plain_steps(b.symbol_lengths, n), lc);
  }
  if (b.single_slot >= 0) {
    put_single_symbol(w, 14, unsigned(b.single_slot));
  } else {
    unsigned n = 45;
    while (n > 0 && b.slot_lengths[n - 1] == 0) --n;
    put_short_lengths(w, b.slot_lengths, n, 14, false);
  }
  std::vector<uint32_t> codes = canonical_codes(b.symbol_lengths);
  std::vector<uint32_t> slot_codes = canonical_codes(b.slot_lengths);
  for (const Item& item : b.items) {
    unsigned symbol = item.length == 0 ? item.value : item.length + 253;
    if (b.single_symbol < 0) w.put(codes[symbol], b.symbol_lengths[symbol]);
    if (item.length == 0) continue;
    uint32_t position = item.distance - 1;
    unsigned slot = slot_of(position);
    if (b.single_slot < 0) w.put(slot_codes[slot], b.slot_lengths[slot]);
    w.put_long(position - slot_base(slot), extra_bits_of(slot));
  }
}

// What the items decode to, by the window's rules: a 4 MiB ring preset
// with spaces, so a source before the first byte reads a space.
inline std::vector<uint8_t> expand(const std::vector<Item>& items) {
  const int64_t window = 4194304;
  std::vector<uint8_t> out;
  for (const Item& item : items) {
    if (item.length == 0) {
      out.push_back(static_cast<uint8_t>(item.value));
      continue;
    }
    for (unsigned k = 0; k < item.length; ++k) {
      int64_t i = int64_t(out.size());
      int64_t j = item.distance <= window ? i - item.distance : i - item.distance + window;
      out.push_back(j >= 0 ? out[std::size_t(j)] : ' ');
    }
  }
  return out;
}

}  // namespace lume_test
