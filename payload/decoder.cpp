#include "payload/decoder.h"

#include <string.h>

#include "payload/stream_format.h"

// The decoder's own sizes: codes up to these many bits resolve with one
// table lookup, longer ones walk the overflow tree.
enum : uint32_t {
  kSymbolTableBits = 12,
  kShortTableBits = 8,
  kNodeLimit = 1024,  // size of the two overflow-tree link arrays
};

// A table entry: the symbol, or at and above the alphabet's size the tree
// node its longer codes continue in; above that the symbol's code length,
// so that one lookup decodes a symbol.
enum : unsigned {
  kValueBits = 10,
  kValueMask = (1u << kValueBits) - 1,
};

// The bit buffer is a machine word. 64 bits would hold a whole match after
// one refill, but in 32-bit code each of their shifts takes several
// instructions and two registers, which costs more than a refill per field.
#if UINTPTR_MAX > 0xFFFFFFFFu
typedef uint64_t BitWord;
#define LUME_LOAD_BIG_ENDIAN __builtin_bswap64
#else
typedef uint32_t BitWord;
#define LUME_LOAD_BIG_ENDIAN __builtin_bswap32
#endif
enum : unsigned {
  kWordBytes = sizeof(BitWord),
  kWordBits = 8 * sizeof(BitWord),
  kMatchBits = 2 * kMaxCodeLength + 21,  // a match's length and slot codes and widest extra bits
  // Bytes one symbol may load: a word for its code and, when a word cannot
  // hold the whole match, one for each of its other two fields.
  kSymbolBytes = kWordBits - 8 >= kMatchBits ? kWordBytes : 3 * kWordBytes,
  kStageSize = 2 * kSymbolBytes,
};

// What the symbol loop keeps in registers; its home between blocks is the
// state record.
struct BitReader {
  // The unread bits, the next one in the most significant position. Below
  // the count valid ones lie zeros or, after a word was loaded, the next
  // bits of the input, which a later load writes again unchanged.
  BitWord bits;
  unsigned count;
  // The bytes not yet taken into bits: at least kSymbolBytes of them
  // whenever a symbol begins.
  const unsigned char* next;
  const unsigned char* end;
};

// Everything one decoding keeps; static, one decoding at a time.
struct DecoderState {
  DecoderInput input;
  DecoderOutput output;

  // The input is read in place from the pieces the input function hands
  // out. Where a piece ends, its last bytes and the next piece's first are
  // copied together into stage, so that a symbol never meets a piece's end;
  // behind the input's end stage holds zero bytes.
  BitReader reader;
  const unsigned char* buffer;      // what reader.next points into: a piece or stage
  uint64_t buffer_offset;           // the input offset of buffer[0]
  const unsigned char* piece;       // the input's current piece
  const unsigned char* piece_next;  // its first byte not yet in stage (its end while read in place)
  const unsigned char* piece_end;
  bool input_ended;                 // the input returned 0
  unsigned char stage[kStageSize];

  uint32_t block_left;                           // literal/length symbols left in the block
  uint16_t symbol_table[1 << kSymbolTableBits];  // the literal/length code
  // The length-code code while the literal/length lengths are read, then
  // the position-slot code.
  uint16_t short_table[1 << kShortTableBits];
  // The overflow trees' nodes. Each alphabet numbers its nodes from its own
  // size up, so the literal/length tree (from 510) and the position-slot
  // tree (45 to 509) live in the same arrays at once.
  uint16_t left_child[kNodeLimit];
  uint16_t right_child[kNodeLimit];
  bool tables_corrupt;  // set by any table check; decoding stops
  // Each position slot's first position and extra bits (stream_format.h).
  uint32_t slot_base[kSlotCount];
  unsigned char slot_extra[kSlotCount];

  // The history, also the output buffer: handed out whenever it fills.
  unsigned char window[kWindowSize];
};
static DecoderState state;

// The symbol loop's steps, forced inline even where the rest is built for size.
#define LUME_HOT inline __attribute__((always_inline))

// ---------------------------------------------------------------- bits

// Gives state.reader at least kSymbolBytes bytes to take: the current
// piece in place when the bytes not yet taken are all its own and it holds
// enough from there on, else in stage those bytes followed by the input's
// next ones, zero bytes once it has ended.
static void restock() {
  DecoderState& s = state;
  BitReader& r = s.reader;
  uint64_t at = s.buffer_offset + uint64_t(r.next - s.buffer);  // the input offset of r.next
  uint32_t n = uint32_t(r.end - r.next);
  if (uint32_t(s.piece_next - s.piece) >= n &&
      uint32_t(s.piece_end - (s.piece_next - n)) >= kSymbolBytes) {
    r.next = s.piece_next - n;
    r.end = s.piece_next = s.piece_end;
    s.buffer = s.piece;
    s.buffer_offset = at - uint64_t(r.next - s.piece);
    return;
  }
  for (uint32_t i = 0; i < n; ++i) s.stage[i] = r.next[i];
  while (n < kStageSize) {
    if (s.piece_next != s.piece_end) {
      s.stage[n++] = *s.piece_next++;
    } else if (s.input_ended) {
      s.stage[n++] = 0;
    } else {
      const unsigned char* bytes = nullptr;
      int32_t count = s.input(&bytes);
      s.input_ended = count <= 0 || bytes == nullptr;
      s.piece = s.piece_next = s.input_ended ? nullptr : bytes;
      s.piece_end = s.input_ended ? nullptr : bytes + count;
    }
  }
  s.buffer = s.stage;
  s.buffer_offset = at;
  r.next = s.stage;
  r.end = s.stage + n;
}

// Fills bits to at least kWordBits - 8 with the whole bytes of a word
// loaded from the input, which must hold one.
static LUME_HOT void refill_word(BitReader& r) {
  BitWord word;
  memcpy(&word, r.next, sizeof word);
  r.bits |= LUME_LOAD_BIG_ENDIAN(word) >> r.count;
  r.next += (kWordBits - 1 - r.count) / 8;
  r.count |= kWordBits - 8;
}

// Makes at least n bits valid for a field behind a symbol's code (n at
// most kWordBits - 8): a 64-bit buffer filled for the code holds them all.
// A word is loaded whatever the count, which costs less than a branch on it
// that is hard to predict.
static LUME_HOT void need_bits(BitReader& r, unsigned n) {
  if (kWordBits - 8 < kMatchBits || r.count < n) refill_word(r);
}

// The next n bits (1 to kWordBits - 8), not consumed.
static LUME_HOT unsigned peek_bits(const BitReader& r, unsigned n) {
  return unsigned(r.bits >> (kWordBits - n));
}

static LUME_HOT void skip_bits(BitReader& r, unsigned n) {
  r.bits <<= n;
  r.count -= n;
}

// Between symbols, where the tables are read: makes at least n bits of
// state.reader valid.
static void ready_bits(unsigned n) {
  BitReader& r = state.reader;
  if (r.count >= n) return;
  if (uint32_t(r.end - r.next) < kWordBytes) restock();
  refill_word(r);
}

// A field of 1 to 16 bits, from state.reader.
static unsigned take_bits(unsigned n) {
  BitReader& r = state.reader;
  ready_bits(n);
  unsigned value = peek_bits(r, n);
  skip_bits(r, n);
  return value;
}

// ---------------------------------------------------------------- tables

// Builds the canonical decode table of symbol_count symbols with the given
// lengths (0 = unused, at most 16): codes up to table_bits resolve in the
// table, longer ones walk tree nodes numbered from symbol_count upward and
// kept below node_end. Refuses an over-full code and a tree that would not
// fit; a code that leaves space unused is accepted, that space decoding as
// symbol 0 with symbol 0's length.
static bool build_decode_table(unsigned symbol_count, const unsigned char* lengths,
                               unsigned table_bits, uint16_t* table, unsigned node_end) {
  DecoderState& s = state;
  uint32_t count[kMaxCodeLength + 1] = {0};
  for (unsigned i = 0; i < symbol_count; ++i) count[lengths[i]]++;

  // First code of each length, left-aligned in 16 bits.
  uint32_t start[kMaxCodeLength + 2];
  start[1] = 0;
  for (unsigned k = 1; k <= kMaxCodeLength; ++k) start[k + 1] = start[k] + (count[k] << (16 - k));
  if (start[kMaxCodeLength + 1] > 65536) return false;  // over-full

  const unsigned shift = 16 - table_bits;
  const uint32_t table_size = 1u << table_bits;
  // Entries behind the short codes will hold tree roots or unused space.
  const uint16_t unused = uint16_t(lengths[0] << kValueBits);
  for (uint32_t i = start[table_bits + 1] >> shift; i < table_size; ++i) table[i] = unused;

  unsigned next_node = symbol_count;
  for (unsigned symbol = 0; symbol < symbol_count; ++symbol) {
    unsigned length = lengths[symbol];
    if (length == 0) continue;
    uint32_t code = start[length];
    start[length] += 1u << (16 - length);
    if (length <= table_bits) {
      uint32_t entry = symbol | length << kValueBits;
      uint16_t* t = table + (code >> shift);
      uint32_t n = 1u << (table_bits - length);
      if (n == 1) {
        t[0] = uint16_t(entry);
      } else {
        uint32_t pair = entry * 0x10001u;
        for (uint32_t i = 0; i < n; i += 2) memcpy(t + i, &pair, 4);
      }
      continue;
    }
    // One node per code bit below the table part, from bit 15 - table_bits
    // of the left-aligned code down to bit 16 - length. An empty link reads
    // 0 (in the table: unused space, value 0).
    uint16_t* link = &table[code >> shift];
    for (int bit = 15 - int(table_bits); bit >= 16 - int(length); --bit) {
      if ((*link & kValueMask) == 0) {
        if (next_node >= node_end) return false;
        s.left_child[next_node] = s.right_child[next_node] = 0;
        *link = uint16_t(next_node++);
      }
      unsigned node = *link & kValueMask;
      link = ((code >> bit) & 1) ? &s.right_child[node] : &s.left_child[node];
    }
    *link = uint16_t(symbol);
  }
  return true;
}

// The rest of a code longer than its table: walks the tree from node with
// the bits behind the table's. Unowned code space yields symbol 0 after the
// bits that led there. Returns the symbol and, from bit kValueBits up, the
// bits it took; at least 16 bits must be valid.
static unsigned walk_tree(BitWord bits, unsigned node, unsigned table_bits,
                          unsigned symbol_count) {
  const DecoderState& s = state;
  unsigned value = node;
  unsigned depth = table_bits;
  do {
    unsigned bit = unsigned(bits >> (kWordBits - 1 - depth)) & 1;
    value = bit ? s.right_child[value] : s.left_child[value];
    ++depth;
  } while (value >= symbol_count && depth < kMaxCodeLength);
  if (value >= symbol_count) value = 0;  // a path longer than any code
  return value | depth << kValueBits;
}

// Resolves the next symbol of a table and its tree, consuming its bits. At
// least 16 bits must be valid.
static LUME_HOT unsigned decode_with(BitReader& r, const uint16_t* table, unsigned table_bits,
                                     unsigned symbol_count) {
  unsigned entry = table[peek_bits(r, table_bits)];
  if ((entry & kValueMask) >= symbol_count)
    entry = walk_tree(r.bits, entry & kValueMask, table_bits, symbol_count);
  skip_bits(r, entry >> kValueBits);
  return entry & kValueMask;
}

// One 3-bit length with the escape: 7 is 111 0, 8 is 111 10, and so on.
// Returns a value above 16 for a length no code may have.
static unsigned read_escaped_length() {
  BitReader& r = state.reader;
  ready_bits(16);
  unsigned bits = peek_bits(r, 16);
  unsigned length = bits >> (16 - kLengthFieldBits);
  if (length < kLengthFieldEscape) {
    skip_bits(r, kLengthFieldBits);
    return length;
  }
  for (unsigned mask = 1u << (15 - kLengthFieldBits); mask != 0 && (bits & mask) != 0; mask >>= 1) {
    if (++length > kMaxCodeLength) return length;
  }
  // The field, the ones and their closing zero: length - 3 bits in all.
  skip_bits(r, kLengthFieldBits + 1 + (length - kLengthFieldEscape));
  return length;
}

// A short alphabet's lengths (the length-code or the position-slot one),
// then its table. gap_after: after that many lengths a 2-bit count of
// further zero lengths follows (0 for none).
static bool read_short_lengths(unsigned symbol_count, unsigned count_bits, unsigned gap_after,
                               unsigned node_end) {
  unsigned n = take_bits(count_bits);
  if (n > symbol_count) return false;
  if (n == 0) {
    unsigned only = take_bits(count_bits);
    if (only >= symbol_count) return false;
    for (unsigned i = 0; i < (1u << kShortTableBits); ++i) state.short_table[i] = uint16_t(only);
    return true;
  }
  unsigned char lengths[kSlotCount];
  unsigned stored = 0;
  while (stored < n) {
    unsigned length = read_escaped_length();
    if (length > kMaxCodeLength) return false;
    lengths[stored++] = (unsigned char)length;
    if (stored == gap_after) {
      for (unsigned gap = take_bits(kGapBits); gap > 0; --gap) lengths[stored++] = 0;
    }
  }
  for (; stored < symbol_count; ++stored) lengths[stored] = 0;
  return build_decode_table(symbol_count, lengths, kShortTableBits, state.short_table, node_end);
}

// The literal/length lengths, sent through the length-code alphabet.
static bool read_symbol_lengths() {
  BitReader& r = state.reader;
  unsigned n = take_bits(kSymbolCountBits);
  if (n > kSymbolCount) return false;
  if (n == 0) {
    unsigned only = take_bits(kSymbolCountBits);
    if (only >= kSymbolCount) return false;
    for (unsigned i = 0; i < (1u << kSymbolTableBits); ++i) state.symbol_table[i] = uint16_t(only);
    return true;
  }
  unsigned char lengths[kSymbolCount];
  unsigned position = 0;
  while (position < n) {
    ready_bits(kMaxCodeLength);
    unsigned c = decode_with(r, state.short_table, kShortTableBits, kLengthCodeCount);
    unsigned zeros;
    if (c > kLongRunSymbol) {
      lengths[position++] = (unsigned char)(c - kLengthSymbolBias);
      continue;
    }
    if (c == kSingleZeroSymbol) zeros = 1;
    else if (c == kShortRunSymbol) zeros = take_bits(kShortRunBits) + kShortRunMin;
    else zeros = take_bits(kLongRunBits) + kLongRunMin;
    if (position + zeros > kSymbolCount) return false;
    memset(lengths + position, 0, zeros);
    position += zeros;
  }
  memset(lengths + position, 0, kSymbolCount - position);
  return build_decode_table(kSymbolCount, lengths, kSymbolTableBits, state.symbol_table,
                            kNodeLimit);
}

// A block's size and code tables: returns its literal/length symbols, 0 at
// the end marker and for invalid tables (which set tables_corrupt). The
// length-code nodes are dead once the literal/length table is built, so
// they may use the whole arrays; the position-slot tree lives beside the
// literal/length tree and must stay below its first node.
static uint32_t start_block() {
  uint32_t symbols = take_bits(kBlockSizeBits);
  if (symbols == 0) return 0;
  if (read_short_lengths(kLengthCodeCount, kLengthCodeCountBits, kGapAfter, kNodeLimit) &&
      read_symbol_lengths() && read_short_lengths(kSlotCount, kSlotCountBits, 0, kSymbolCount))
    return symbols;
  state.tables_corrupt = true;
  return 0;
}

// ---------------------------------------------------------------- output

// Hands out the full window; the next byte goes to its start.
static uint32_t hand_out_window() {
  state.output(state.window, int32_t(kWindowSize));
  return 0;
}

static LUME_HOT void copy8(unsigned char* to, const unsigned char* from) {
  uint64_t chunk;
  memcpy(&chunk, from, 8);
  memcpy(to, &chunk, 8);
}

// Copies length bytes from position + 1 back to pos with the effect of
// copying one byte at a time, so a match shorter in distance than in length
// repeats its last bytes; returns the position behind them. For what the
// symbol loop's copy leaves: short distances, wrapped history and the
// window's end.
static uint32_t copy_match_carefully(uint32_t pos, uint32_t position, unsigned length) {
  unsigned char* window = state.window;
  uint32_t source = (pos - position - 1) & (kWindowSize - 1);
  if (pos + length < kWindowSize && source + length <= kWindowSize) {
    if (source >= pos + length) {
      memcpy(window + pos, window + source, length);  // wrapped history, wholly ahead of the target
      return pos + length;
    }
    if (position == 0) {
      memset(window + pos, window[source], length);
      return pos + length;
    }
  }
  // Byte by byte, handing out the window when it fills.
  for (unsigned i = 0; i < length; ++i) {
    window[pos] = window[source];
    source = (source + 1) & (kWindowSize - 1);
    if (++pos == kWindowSize) pos = hand_out_window();
  }
  return pos;
}

// The same for any match. Those at least 8 back whose target leaves room
// to the window's end go in 8-byte steps, each reading bytes at least 8
// behind its writing, which are final. The steps run on to a multiple of 8
// and at least kCopyAhead, past the match into the oldest history, which is
// put back: there are no branches on the length but one for matches longer
// than that. 64-bit code copies ahead further, having the registers for it.
enum : unsigned { kCopyAhead = kWordBits == 64 ? 32 : 16 };

static LUME_HOT uint32_t copy_match(uint32_t pos, uint32_t position, unsigned length) {
  if (position < 7 || position >= pos || pos + length + kCopyAhead > kWindowSize)
    return copy_match_carefully(pos, position, length);
  unsigned char* to = state.window + pos;
  const unsigned char* from = to - (position + 1);
  // Word by word: an array copy at -Os becomes a string move.
  uint64_t history[kCopyAhead / 8];
  for (unsigned i = 0; i < kCopyAhead / 8; ++i) memcpy(&history[i], to + length + 8 * i, 8);
  for (unsigned done = 0; done < kCopyAhead; done += 8) copy8(to + done, from + done);
  for (unsigned done = kCopyAhead; done < length; done += 8) copy8(to + done, from + done);
  for (unsigned i = 0; i < kCopyAhead / 8; ++i) memcpy(to + length + 8 * i, &history[i], 8);
  return pos + length;
}

// ---------------------------------------------------------------- symbols

// The match position (distance - 1) of the next position slot. Fields wider
// than 16 bits come as their low 16 bits, then the high rest.
static LUME_HOT uint32_t decode_position(BitReader& r) {
  const DecoderState& s = state;
  need_bits(r, kMaxCodeLength);
  unsigned slot = decode_with(r, s.short_table, kShortTableBits, kSlotCount);
  unsigned extra = s.slot_extra[slot];
  need_bits(r, extra);
  // Without branches, which the slots defeat: no extra bits read as 0, and
  // a field no wider than 16 bits has no high rest (high is 0).
  uint32_t value = uint32_t((r.bits >> 1) >> (kWordBits - 1 - extra));
  skip_bits(r, extra);
  unsigned high = extra > kLongFieldSplit ? extra - kLongFieldSplit : 0;
  value = (value >> high) | (value & ((1u << high) - 1)) << kLongFieldSplit;
  return s.slot_base[slot] + value;
}

DecodeResult decode_stream(DecoderInput in, DecoderOutput out, uint32_t size) {
  DecoderState& s = state;
  s.input = in;
  s.output = out;
  s.buffer = s.piece = s.piece_next = s.piece_end = nullptr;
  s.buffer_offset = 0;
  s.input_ended = false;
  s.tables_corrupt = false;
  for (int slot = 0; slot < int(kSlotCount); ++slot) {
    s.slot_base[slot] = slot_base(slot);
    s.slot_extra[slot] = (unsigned char)slot_extra_bits(slot);
  }
  memset(s.window, kWindowFill, sizeof s.window);

  BitReader r = {0, 0, nullptr, nullptr};
  uint32_t pos = 0;
  uint32_t left = size;  // bytes still to produce
  s.block_left = 0;
  while (left > 0) {
    if (s.block_left == 0) {
      s.reader = r;
      s.block_left = start_block();
      r = s.reader;
      if (s.block_left == 0) break;
    }

    --s.block_left;
    if (uint32_t(r.end - r.next) < kSymbolBytes) {
      s.reader.next = r.next;
      restock();
      r.next = s.reader.next;
      r.end = s.reader.end;
    }
    refill_word(r);
    unsigned symbol = decode_with(r, s.symbol_table, kSymbolTableBits, kSymbolCount);
    if (symbol < kLiteralCount) {
      s.window[pos] = (unsigned char)symbol;
      if (++pos == kWindowSize) pos = hand_out_window();
      --left;
      continue;
    }
    unsigned length = unsigned(symbol_length(int(symbol)));
    pos = copy_match(pos, decode_position(r), length);
    left = length < left ? left - length : 0;
  }
  if (pos > 0) s.output(s.window, int32_t(pos));
  s.reader = r;
  return s.tables_corrupt ? decode_corrupt : decode_ok;
}

uint64_t decoder_bytes_used() {
  const DecoderState& s = state;
  return s.buffer_offset + uint64_t(s.reader.next - s.buffer) - s.reader.count / 8;
}
