/* The numbers of the payload's compressed stream, for the decoder and the
 * compressor alike. Plain C, so that any reader of the format can take it.
 *
 * The stream is a sequence of blocks, each
 *
 *   block size         kBlockSizeBits; 0 ends the stream
 *   length-code code   short-length form, count field kLengthCodeCountBits,
 *                      then after the kGapAfter-th length a kGapBits count
 *                      of further zero lengths
 *   literal/length code  kSymbolCountBits count, lengths sent through the
 *                      length-code alphabet (symbols 0, 1, 2 are zero runs)
 *   position-slot code short-length form, count field kSlotCountBits
 *   block size symbols, a match length followed by its slot and extra bits
 *
 * Fields are read most significant bit first; a count of 0 is followed by
 * a field of the same width naming the only symbol, which then takes no
 * bits. Lengths in the short-length form are 3 bits, 7 and above escaped
 * as 111 followed by ones and a closing zero.
 */
#ifndef LUME_PAYLOAD_STREAM_FORMAT_H
#define LUME_PAYLOAD_STREAM_FORMAT_H

#ifdef __cplusplus
#define LUME_FORMAT_FUNCTION constexpr inline
#else
#define LUME_FORMAT_FUNCTION static inline
#endif

enum {
  kWindowSize = 4194304, /* history; positions are taken modulo this */
  kWindowFill = 0x20,    /* every decoding starts from a window of spaces */

  kMinMatch = 3,
  kMaxMatch = 256,
  kLiteralCount = 256,
  kSymbolCount = 510,    /* literals, then match lengths kMinMatch..kMaxMatch */
  kLengthCodeCount = 19, /* carries the literal/length code lengths */
  kSlotCount = 45,       /* position slots 0..44 */
  kUsableSlotCount = 44, /* slot 44 reaches only beyond the window */
  kMaxCodeLength = 16,

  kBlockSizeBits = 16,
  kMaxBlockSymbols = 65535,
  kLengthCodeCountBits = 5,
  kSymbolCountBits = 9,
  kSlotCountBits = 14,
  kGapAfter = 3, /* the gap field follows the third length-code length */
  kGapBits = 2,

  kLengthFieldBits = 3,    /* a short-form code length */
  kLengthFieldEscape = 7,  /* and above: ones follow, closed by a zero */

  /* Length-code symbols: 0 one zero length, 1 a short run, 2 a long run,
   * 3 and above the length symbol - kLengthSymbolBias. */
  kSingleZeroSymbol = 0,
  kShortRunSymbol = 1,
  kLongRunSymbol = 2,
  kLengthSymbolBias = 2,
  kShortRunBits = 4, /* kShortRunMin + a 4-bit value zeros */
  kShortRunMin = 3,
  kShortRunMax = 18,
  kLongRunBits = 9, /* kLongRunMin + a 9-bit value zeros */
  kLongRunMin = 20,
  kLongRunMax = 531,

  kLongFieldSplit = 16, /* wider extra-bit fields come as low 16 bits, then the rest */
};

/* Literal/length symbol of a match length, and back. */
LUME_FORMAT_FUNCTION int length_symbol(int length) { return length - kMinMatch + kLiteralCount; }
LUME_FORMAT_FUNCTION int symbol_length(int symbol) { return symbol - kLiteralCount + kMinMatch; }

/* A match's distance d travels as position d - 1: slots 0-3 are positions
 * 0-3; slot s above that holds 2^e positions from (2 + (s & 1)) << e, with
 * e = s / 2 - 1 extra bits. */
LUME_FORMAT_FUNCTION int slot_extra_bits(int slot) { return slot < 4 ? 0 : slot / 2 - 1; }
LUME_FORMAT_FUNCTION unsigned slot_base(int slot) {
  return slot < 4 ? (unsigned)slot : (2u + (unsigned)(slot & 1)) << slot_extra_bits(slot);
}

#undef LUME_FORMAT_FUNCTION

#endif
