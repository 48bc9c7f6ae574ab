#include "payload/decoder.h"

#include <string.h>

#include "payload/stream_format.h"

// The decoder's own sizes: codes up to these many bits resolve with one
// table lookup, longer ones walk the overflow tree.
enum : uint32_t {
  kSymbolTableBits = 12,
  kShortTableBits = 8,
  kNodeLimit = 1024,  // size of the two overflow-tree link arrays
  kEndMarker = 0xFFFF,
};

// Decoder state: static, one decoding at a time.
static DecoderInput input;
static DecoderOutput output;

// The bit reader holds exactly the bits that a reader keeping a 16-bit
// buffer plus the unused rest of its last byte would hold: at least 16 and
// fewer than 24 unconsumed bits, left-aligned in held_bits (the rest zero).
// Input is asked for only when a skip would leave fewer than 16, one byte
// per call, so the number of input calls is that of the 16-bit reader, near
// the end of the stream included (up to two bytes beyond its last one).
static uint64_t held_bits;
static unsigned held_count;
static unsigned char spare_bits;  // the byte the input function fills

static uint16_t block_left;  // literal/length symbols left in the block
static unsigned char symbol_lengths[kSymbolCount];
static uint16_t symbol_table[1 << kSymbolTableBits];
static unsigned char short_lengths[kSlotCount];
static uint16_t short_table[1 << kShortTableBits];
static uint16_t left_child[kNodeLimit];
static uint16_t right_child[kNodeLimit];
static unsigned char window[kWindowSize];
static uint32_t window_pos;
static bool tables_corrupt;  // set by any table check; decoding stops

// ---------------------------------------------------------------- bits

static unsigned fetch_byte() {
  spare_bits = 0;
  input(&spare_bits, 1);
  return spare_bits;
}

// The next 16 unread bits, first bit in the most significant position.
static inline unsigned bit_buffer() { return unsigned(held_bits >> 48); }

static inline void skip_bits(unsigned n) {
  held_bits <<= n;
  held_count -= n;
  while (held_count < 16) {
    held_bits |= uint64_t(fetch_byte()) << (56 - held_count);
    held_count += 8;
  }
}

static inline unsigned take_bits(unsigned n) {
  unsigned value = bit_buffer() >> (16 - n);
  skip_bits(n);
  return value;
}

// Fields wider than 16 bits come as their low 16 bits, then the high rest.
static uint32_t take_long_bits(unsigned n) {
  if (n <= kLongFieldSplit) return take_bits(n);
  uint32_t low = take_bits(kLongFieldSplit);
  uint32_t high = take_bits(n - kLongFieldSplit);
  return high << kLongFieldSplit | low;
}

static void start_bit_reader() {
  held_bits = 0;
  held_count = 16;  // 16 zero bits, skipped at once: fetches the first two bytes
  skip_bits(16);
}

// ---------------------------------------------------------------- tables

// Builds the canonical decode table of symbol_count symbols with the given
// lengths (0 = unused, at most 16): codes up to table_bits resolve in the
// table, longer ones walk tree nodes numbered from symbol_count upward and
// kept below node_end. Refuses an over-full code and a tree that would not
// fit; a code that leaves space unused is accepted, that space decoding as
// symbol 0.
static bool build_decode_table(unsigned symbol_count, const unsigned char* lengths,
                               unsigned table_bits, uint16_t* table, unsigned node_end) {
  uint32_t count[kMaxCodeLength + 1] = {0};
  for (unsigned s = 0; s < symbol_count; ++s) count[lengths[s]]++;

  // First code of each length, left-aligned in 16 bits.
  uint32_t start[kMaxCodeLength + 2];
  start[1] = 0;
  for (unsigned k = 1; k <= kMaxCodeLength; ++k) start[k + 1] = start[k] + (count[k] << (16 - k));
  if (start[kMaxCodeLength + 1] > 65536) return false;  // over-full

  const unsigned shift = 16 - table_bits;
  const uint32_t table_size = 1u << table_bits;
  // Entries behind the short codes will hold tree roots or unused space.
  uint32_t first_long = start[table_bits + 1] >> shift;
  for (uint32_t i = first_long; i < table_size; ++i) table[i] = 0;

  unsigned next_node = symbol_count;
  for (unsigned s = 0; s < symbol_count; ++s) {
    unsigned length = lengths[s];
    if (length == 0) continue;
    uint32_t code = start[length];
    start[length] += 1u << (16 - length);
    if (length <= table_bits) {
      for (uint32_t i = code >> shift; i < (code + (1u << (16 - length))) >> shift; ++i)
        table[i] = uint16_t(s);
      continue;
    }
    uint16_t* link = &table[code >> shift];
    // One node per code bit below the table part, from bit 15 - table_bits
    // of the left-aligned code down to bit 16 - length.
    for (int bit = 15 - int(table_bits); bit >= 16 - int(length); --bit) {
      if (*link == 0) {
        if (next_node >= node_end) return false;
        left_child[next_node] = right_child[next_node] = 0;
        *link = uint16_t(next_node++);
      }
      link = ((code >> bit) & 1) ? &right_child[*link] : &left_child[*link];
    }
    *link = uint16_t(s);
  }
  return true;
}

// Resolves the next symbol from a table and its tree, consuming its bits.
// Unowned code space yields symbol 0 after the bits that led there.
static inline unsigned decode_with(const uint16_t* table, unsigned table_bits,
                                   const unsigned char* lengths, unsigned symbol_count) {
  unsigned bits = bit_buffer();
  unsigned value = table[bits >> (16 - table_bits)];
  if (value < symbol_count) {
    skip_bits(lengths[value]);
    return value;
  }
  unsigned depth = table_bits;
  do {
    unsigned bit = (bits >> (15 - depth)) & 1;
    value = bit ? right_child[value] : left_child[value];
    ++depth;
  } while (value >= symbol_count && depth < kMaxCodeLength);
  if (value >= symbol_count) value = 0;  // a path longer than any code
  skip_bits(depth);
  return value;
}

// One 3-bit length with the escape: 7 is 111 0, 8 is 111 10, and so on.
// Returns a value above 16 for a length no code may have.
static unsigned read_escaped_length() {
  unsigned bits = bit_buffer();
  unsigned length = bits >> (16 - kLengthFieldBits);
  if (length < kLengthFieldEscape) {
    skip_bits(kLengthFieldBits);
    return length;
  }
  for (unsigned mask = 1u << (15 - kLengthFieldBits); mask != 0 && (bits & mask) != 0; mask >>= 1) {
    if (++length > kMaxCodeLength) return length;
  }
  // The field, the ones and their closing zero: length - 3 bits in all.
  skip_bits(kLengthFieldBits + 1 + (length - kLengthFieldEscape));
  return length;
}

// Lengths of a short alphabet (the length-code or the position-slot one)
// into short_lengths, then its table. gap_after: after that many lengths a
// 2-bit count of further zero lengths follows (0 for none).
static bool read_short_lengths(unsigned symbol_count, unsigned count_bits, unsigned gap_after,
                               unsigned node_end) {
  unsigned n = take_bits(count_bits);
  if (n > symbol_count) return false;
  if (n == 0) {
    unsigned only = take_bits(count_bits);
    if (only >= symbol_count) return false;
    memset(short_lengths, 0, sizeof short_lengths);
    for (unsigned i = 0; i < (1u << kShortTableBits); ++i) short_table[i] = uint16_t(only);
    return true;
  }
  unsigned stored = 0;
  while (stored < n) {
    unsigned length = read_escaped_length();
    if (length > kMaxCodeLength) return false;
    short_lengths[stored++] = (unsigned char)length;
    if (stored == gap_after) {
      for (unsigned gap = take_bits(kGapBits); gap > 0; --gap) short_lengths[stored++] = 0;
    }
  }
  for (; stored < symbol_count; ++stored) short_lengths[stored] = 0;
  return build_decode_table(symbol_count, short_lengths, kShortTableBits, short_table, node_end);
}

// The literal/length lengths, sent through the length-code alphabet.
static bool read_symbol_lengths() {
  unsigned n = take_bits(kSymbolCountBits);
  if (n > kSymbolCount) return false;
  if (n == 0) {
    unsigned only = take_bits(kSymbolCountBits);
    if (only >= kSymbolCount) return false;
    memset(symbol_lengths, 0, sizeof symbol_lengths);
    for (unsigned i = 0; i < (1u << kSymbolTableBits); ++i) symbol_table[i] = uint16_t(only);
    return true;
  }
  unsigned position = 0;
  while (position < n) {
    unsigned c = decode_with(short_table, kShortTableBits, short_lengths, kLengthCodeCount);
    unsigned zeros;
    if (c > kLongRunSymbol) {
      symbol_lengths[position++] = (unsigned char)(c - kLengthSymbolBias);
      continue;
    }
    if (c == kSingleZeroSymbol) zeros = 1;
    else if (c == kShortRunSymbol) zeros = take_bits(kShortRunBits) + kShortRunMin;
    else zeros = take_bits(kLongRunBits) + kLongRunMin;
    if (position + zeros > kSymbolCount) return false;
    memset(symbol_lengths + position, 0, zeros);
    position += zeros;
  }
  memset(symbol_lengths + position, 0, kSymbolCount - position);
  return build_decode_table(kSymbolCount, symbol_lengths, kSymbolTableBits, symbol_table,
                            kNodeLimit);
}

// The length-code nodes are dead once the literal/length table is built, so
// they may use the whole arrays; the position-slot tree lives beside the
// literal/length tree and must stay below its first node.
static bool read_block_tables() {
  return read_short_lengths(kLengthCodeCount, kLengthCodeCountBits, kGapAfter, kNodeLimit) &&
         read_symbol_lengths() && read_short_lengths(kSlotCount, kSlotCountBits, 0, kSymbolCount);
}

// ---------------------------------------------------------------- symbols

static unsigned decode_symbol() {
  if (block_left == 0) {
    block_left = uint16_t(take_bits(kBlockSizeBits));
    if (block_left == 0) return kEndMarker;
    if (!read_block_tables()) {
      tables_corrupt = true;
      return kEndMarker;
    }
  }
  --block_left;
  return decode_with(symbol_table, kSymbolTableBits, symbol_lengths, kSymbolCount);
}

// The match position (distance - 1) of the next position slot.
static uint32_t decode_distance() {
  int slot = int(decode_with(short_table, kShortTableBits, short_lengths, kSlotCount));
  return slot_base(slot) + take_long_bits(unsigned(slot_extra_bits(slot)));
}

// ---------------------------------------------------------------- output

static inline void advance_window() {
  if (++window_pos == kWindowSize) {
    output(window, int32_t(kWindowSize));
    window_pos = 0;
  }
}

static inline void copy8(unsigned char* to, const unsigned char* from) {
  uint64_t chunk;
  memcpy(&chunk, from, 8);
  memcpy(to, &chunk, 8);
}

// Copies length bytes from position + 1 back with the effect of copying one
// byte at a time, so a match shorter in distance than in length repeats its
// last bytes. Matches that stay clear of the window's end take fast paths.
static void copy_match(uint32_t position, unsigned length) {
  uint32_t source = (window_pos - position - 1) & (kWindowSize - 1);
  uint32_t distance = window_pos - source;  // meaningful when source < window_pos
  bool clear_of_end = window_pos + length < kWindowSize && source + length <= kWindowSize;
  unsigned char* to = window + window_pos;
  const unsigned char* from = window + source;

  if (clear_of_end && source < window_pos && distance >= 8) {
    // Every 8-byte read is at least 8 behind the write, so it only sees
    // bytes that are final; the last, overlapping chunk rewrites the same
    // values it wrote before.
    if (length >= 8) {
      for (unsigned done = 0; done + 8 <= length; done += 8) copy8(to + done, from + done);
      copy8(to + length - 8, from + length - 8);
    } else {
      for (unsigned i = 0; i < length; ++i) to[i] = from[i];
    }
    window_pos += length;
    return;
  }
  if (clear_of_end && source >= window_pos + length) {
    memcpy(to, from, length);  // the wrapped history, wholly ahead of the target
    window_pos += length;
    return;
  }
  if (clear_of_end && source < window_pos) {
    if (distance == 1) memset(to, from[0], length);
    else for (unsigned i = 0; i < length; ++i) to[i] = from[i];
    window_pos += length;
    return;
  }
  // At the window's end, or reading wrapped history that the copy itself
  // overwrites: byte by byte, handing out the window when it fills.
  for (unsigned i = 0; i < length; ++i) {
    window[window_pos] = window[source];
    source = (source + 1) & (kWindowSize - 1);
    advance_window();
  }
}

DecodeResult decode_stream(DecoderInput in, DecoderOutput out, uint32_t size) {
  input = in;
  output = out;
  memset(window, kWindowFill, sizeof window);
  start_bit_reader();
  block_left = 0;
  window_pos = 0;
  tables_corrupt = false;

  // Wider than size, so that the last match cannot wrap it around.
  uint64_t produced = 0;
  while (produced < size) {
    unsigned symbol = decode_symbol();
    if (symbol == kEndMarker) break;
    if (symbol < kLiteralCount) {
      window[window_pos] = (unsigned char)symbol;
      advance_window();
      ++produced;
    } else {
      unsigned length = unsigned(symbol_length(int(symbol)));
      copy_match(decode_distance(), length);
      produced += length;
    }
  }
  if (window_pos > 0) output(window, int32_t(window_pos));
  return tables_corrupt ? decode_corrupt : decode_ok;
}
