#include "payload/decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <random>
#include <vector>

#include "tests/support/stream_writer.h"

using lume_test::BitWriter;
using lume_test::Block;
using lume_test::Item;

namespace {

constexpr uint32_t kWindow = 4194304;

// The decoder runs on static state and plain function pointers, so the
// harness does too. The input comes in pieces of g_piece bytes (0: whole).
const std::vector<uint8_t>* g_stream;
size_t g_next;
size_t g_piece;
std::vector<uint8_t>* g_out;
std::vector<int32_t>* g_output_calls;

int32_t test_input(const unsigned char** bytes) {
  size_t count = g_stream->size() - g_next;
  if (g_piece != 0 && count > g_piece) count = g_piece;
  *bytes = g_stream->data() + g_next;
  g_next += count;
  return int32_t(count);
}

int32_t test_output(const unsigned char* buffer, int32_t count) {
  g_out->insert(g_out->end(), buffer, buffer + count);
  g_output_calls->push_back(count);
  return count;
}

struct Decoded {
  DecodeResult result;
  std::vector<uint8_t> bytes;
  std::vector<int32_t> output_calls;
  uint64_t bytes_used;
};

Decoded decode(const std::vector<uint8_t>& stream, uint32_t size, size_t piece = 0) {
  Decoded d;
  g_stream = &stream;
  g_next = 0;
  g_piece = piece;
  g_out = &d.bytes;
  g_output_calls = &d.output_calls;
  d.result = decode_stream(test_input, test_output, size);
  d.bytes_used = decoder_bytes_used();
  return d;
}

std::vector<uint8_t> stream_of(const std::vector<Block>& blocks, bool end_marker = true) {
  BitWriter w;
  for (const Block& b : blocks) lume_test::put_block(w, b);
  if (end_marker) w.put(0, 16);
  return w.bytes();
}

size_t total_length(const std::vector<Item>& items) {
  size_t n = 0;
  for (const Item& i : items) n += i.length == 0 ? 1 : i.length;
  return n;
}

// A complete literal/length code: every literal and every match length gets
// 9 or 10 bits (2 x 9 + 508 x 10: 2/512 + 508/1024 = 1).
Block all_symbols_block() {
  Block b;
  for (unsigned s = 0; s < 510; ++s) b.symbol_lengths[s] = s < 2 ? 9 : 10;
  // A complete slot code over all 45 slots: 19 of 5 bits, 26 of 6 bits
  // (19/32 + 26/64 = 1).
  for (unsigned s = 0; s < 45; ++s) b.slot_lengths[s] = s < 19 ? 5 : 6;
  return b;
}

// Splits items over blocks of at most 65535 symbols, all with b's tables.
std::vector<Block> blocks_of(const Block& tables, const std::vector<Item>& items) {
  std::vector<Block> blocks;
  for (size_t at = 0; at < items.size(); at += 65535) {
    Block b = tables;
    size_t end = std::min(items.size(), at + 65535);
    b.items.assign(items.begin() + long(at), items.begin() + long(end));
    blocks.push_back(b);
  }
  return blocks;
}

void expect_round_trip(const Block& tables, const std::vector<Item>& items) {
  std::vector<uint8_t> want = lume_test::expand(items);
  Decoded d = decode(stream_of(blocks_of(tables, items)), uint32_t(want.size()));
  EXPECT_EQ(d.result, decode_ok);
  ASSERT_EQ(d.bytes.size(), want.size());
  EXPECT_TRUE(d.bytes == want);
}

// Over 4 MiB of varied bytes: random literals, then matches copying runs
// of them from random places, so that a wrong distance shows.
std::vector<Item> varied_items(size_t bytes, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Item> items;
  size_t made = 0;
  for (; made < 60000; ++made) items.push_back(Item::literal(rng() & 0xFF));
  while (made < bytes) {
    unsigned length = 3 + rng() % 254;
    uint32_t distance = 1 + rng() % uint32_t(std::min<size_t>(made, kWindow));
    items.push_back(Item::match(length, distance));
    made += length;
    if (rng() % 4 == 0) {
      items.push_back(Item::literal(rng() & 0xFF));
      ++made;
    }
  }
  return items;
}

}  // namespace

TEST(DecoderWorkedStreams, AllThreeAlphabetsInSingleSymbolForm) {
  Decoded d = decode({0x00, 0x03, 0x00, 0x00, 0x06, 0x10, 0x00, 0x00, 0x00}, 3);
  EXPECT_EQ(d.result, decode_ok);
  EXPECT_EQ(d.bytes, (std::vector<uint8_t>{0x61, 0x61, 0x61}));
  EXPECT_EQ(d.bytes_used, 9u);
  EXPECT_EQ(d.output_calls, (std::vector<int32_t>{3}));
}

TEST(DecoderWorkedStreams, GapFieldZeroRunsAndAMatchAtDistanceOne) {
  std::vector<uint8_t> stream = {0x00, 0x02, 0x20, 0x04, 0x30, 0x11,
                                 0x36, 0x45, 0x40, 0x00, 0x00, 0x01};
  Decoded d = decode(stream, 4);
  EXPECT_EQ(d.bytes, (std::vector<uint8_t>{0x61, 0x61, 0x61, 0x61}));
  // Asked for more, it ends when the next block size reads 0 from no input.
  Decoded more = decode(stream, 100);
  EXPECT_EQ(more.result, decode_ok);
  EXPECT_EQ(more.bytes, (std::vector<uint8_t>{0x61, 0x61, 0x61, 0x61}));
}

TEST(DecoderOutput, SizeZeroDecodesNothing) {
  Decoded d = decode({0x00, 0x03, 0x00, 0x00, 0x06, 0x10, 0x00, 0x00, 0x00}, 0);
  EXPECT_TRUE(d.bytes.empty());
  EXPECT_TRUE(d.output_calls.empty());
  EXPECT_EQ(d.bytes_used, 0u);
}

TEST(DecoderOutput, LastMatchMayCarryPastTheSizeAndAllOfItIsDelivered) {
  Block b = all_symbols_block();
  b.items = {Item::literal('x'), Item::match(200, 1)};
  Decoded d = decode(stream_of({b}), 2);
  EXPECT_EQ(d.bytes.size(), 201u);
  EXPECT_EQ(d.bytes, std::vector<uint8_t>(201, 'x'));
}

TEST(DecoderOutput, ChunksOfExactlyTheWindowThenOneShortCall) {
  // One literal and runs of 256 at distance 1, in two-symbol codes.
  Block b;
  b.symbol_lengths['z'] = 1;
  b.symbol_lengths[509] = 1;
  b.single_slot = 0;
  std::vector<Item> items = {Item::literal('z')};
  while (total_length(items) < 2 * kWindow + 1000) items.push_back(Item::match(256, 1));
  size_t total = total_length(items);

  Decoded d = decode(stream_of(blocks_of(b, items)), uint32_t(total));
  ASSERT_EQ(d.output_calls.size(), 3u);
  EXPECT_EQ(d.output_calls[0], int32_t(kWindow));
  EXPECT_EQ(d.output_calls[1], int32_t(kWindow));
  EXPECT_EQ(size_t(d.output_calls[2]), total - 2 * kWindow);
  EXPECT_EQ(d.bytes, std::vector<uint8_t>(total, 'z'));

  // An exact multiple of the window ends without a short call.
  std::vector<Item> fit = {Item::literal('z')};
  while (total_length(fit) + 256 <= kWindow) fit.push_back(Item::match(256, 1));
  fit.push_back(Item::match(unsigned(kWindow - total_length(fit)), 1));
  Block c = all_symbols_block();
  Decoded whole = decode(stream_of(blocks_of(c, fit)), kWindow);
  EXPECT_EQ(whole.output_calls, (std::vector<int32_t>{int32_t(kWindow)}));
}

TEST(DecoderMatches, CrossTheWindowWrapOnBothSides) {
  std::vector<Item> items = varied_items(kWindow - 100, 3);
  // Matches whose target crosses the end of the window, then ones whose
  // source crosses it, at short and long distances.
  items.push_back(Item::match(256, 1000));
  items.push_back(Item::match(200, 3));
  items.push_back(Item::match(256, 300));
  items.push_back(Item::match(256, kWindow - 50));
  items.push_back(Item::match(256, kWindow));
  items.push_back(Item::match(100, kWindow + 20));  // slot 44: beyond the window
  expect_round_trip(all_symbols_block(), items);
}

TEST(DecoderCorruptTables, AreRefusedInsteadOfDecoded) {
  // A block of one symbol, and nothing behind its tables: the symbol and the
  // next block size read as zero bits, which end the stream. Tables that
  // were wrongly accepted therefore decode to decode_ok, so each case sees
  // the verdict on its own tables, not on whatever would follow them.
  auto corrupt = [](const std::function<void(BitWriter&)>& tables) {
    BitWriter w;
    w.put(1, 16);
    tables(w);
    Decoded d = decode(w.bytes(), 1000);
    return d.result == decode_corrupt;
  };
  std::vector<unsigned> lc = lume_test::plain_length_code_lengths();
  auto good_lengths = [&](BitWriter& w) { lume_test::put_short_lengths(w, lc, 19, 5, true); };
  ASSERT_FALSE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    lume_test::put_single_symbol(w, 9, 'a');
    lume_test::put_single_symbol(w, 14, 0);
  }));

  // Count fields above their alphabets.
  EXPECT_TRUE(corrupt([](BitWriter& w) { w.put(20, 5); }));
  EXPECT_TRUE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    w.put(511, 9);
  }));
  EXPECT_TRUE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    lume_test::put_single_symbol(w, 9, 'a');
    w.put(46, 14);
  }));
  // Single-symbol fields outside their alphabets.
  EXPECT_TRUE(corrupt([](BitWriter& w) { lume_test::put_single_symbol(w, 5, 19); }));
  EXPECT_TRUE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    lume_test::put_single_symbol(w, 9, 510);
  }));
  EXPECT_TRUE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    lume_test::put_single_symbol(w, 9, 'a');
    lume_test::put_single_symbol(w, 14, 45);
  }));
  // A length above 16: the escape with ten ones.
  EXPECT_TRUE(corrupt([](BitWriter& w) {
    w.put(1, 5);
    w.put(7, 3);
    for (int i = 0; i < 10; ++i) w.put_bit(1);
    w.put_bit(0);
  }));
  // Zero runs past position 510.
  EXPECT_TRUE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    w.put(510, 9);
    lume_test::put_length_steps(w, {{2, 500}}, lc);  // 520 zeros
  }));
  EXPECT_TRUE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    w.put(510, 9);
    lume_test::put_length_steps(w, {{2, 480}, {1, 15}}, lc);  // 500 + 18
  }));
  // Over-full codes: three codes of one bit, in each alphabet.
  EXPECT_TRUE(corrupt([](BitWriter& w) {
    lume_test::put_short_lengths(w, {1, 1, 1}, 3, 5, true, 0);
  }));
  EXPECT_TRUE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    w.put(3, 9);
    lume_test::put_length_steps(w, {{3}, {3}, {3}}, lc);
  }));
  EXPECT_TRUE(corrupt([&](BitWriter& w) {
    good_lengths(w);
    lume_test::put_single_symbol(w, 9, 'a');
    lume_test::put_short_lengths(w, {1, 1, 1}, 3, 14, false);
  }));
}

// One code of each length 1 to 15 leaves room for exactly two of 16 bits: a
// third over-fills the code space by one 16-bit code, which only a check
// that counts the longest codes sees.
TEST(DecoderCorruptTables, AreRefusedWhenOnlyTheirLongestCodesOverfill) {
  auto decodes = [](const std::function<void(BitWriter&)>& tables) {
    BitWriter w;
    w.put(1, 16);
    tables(w);
    return decode(w.bytes(), 1000).result;
  };
  std::vector<unsigned> lc = lume_test::plain_length_code_lengths();
  auto good_lengths = [&](BitWriter& w) { lume_test::put_short_lengths(w, lc, 19, 5, true); };
  auto lengths_up_to_16 = [](unsigned sixteens) {
    std::vector<unsigned> lengths;
    for (unsigned length = 1; length <= 15; ++length) lengths.push_back(length);
    lengths.insert(lengths.end(), sixteens, 16);
    return lengths;
  };
  auto steps_of = [](const std::vector<unsigned>& lengths) {
    std::vector<lume_test::LengthStep> steps;
    for (unsigned length : lengths) steps.push_back({length + 2});
    return steps;
  };

  for (unsigned sixteens : {2u, 3u}) {
    SCOPED_TRACE(sixteens);
    DecodeResult want = sixteens == 2 ? decode_ok : decode_corrupt;
    std::vector<unsigned> lengths = lengths_up_to_16(sixteens);
    unsigned n = unsigned(lengths.size());
    EXPECT_EQ(decodes([&](BitWriter& w) {
                lume_test::put_short_lengths(w, lengths, n, 5, true, 0);
                lume_test::put_single_symbol(w, 9, 'a');
                lume_test::put_single_symbol(w, 14, 0);
              }),
              want)
        << "length-code alphabet";
    EXPECT_EQ(decodes([&](BitWriter& w) {
                good_lengths(w);
                w.put(n, 9);
                lume_test::put_length_steps(w, steps_of(lengths), lc);
                lume_test::put_single_symbol(w, 14, 0);
              }),
              want)
        << "literal/length alphabet";
    EXPECT_EQ(decodes([&](BitWriter& w) {
                good_lengths(w);
                lume_test::put_single_symbol(w, 9, 'a');
                lume_test::put_short_lengths(w, lengths, n, 14, false);
              }),
              want)
        << "position-slot alphabet";
  }
}

// Matches whose source runs across the window's end while the copy
// overwrites bytes it reads later: only the byte-by-byte copy may take them,
// and it must wrap its source with the window.
TEST(DecoderMatches, RepeatHistoryAcrossTheWindowsEndOneByteAtATime) {
  std::vector<Item> items = varied_items(kWindow - 300, 11);
  while (total_length(items) < kWindow - 10) items.push_back(Item::literal('a' + items.size() % 26));
  ASSERT_EQ(total_length(items), size_t(kWindow - 10));
  // Target and source both cross the end, the source 3 bytes behind.
  items.push_back(Item::match(50, 3));
  // At 40: the source starts 5 bytes before the end, wraps, and from 40 on
  // reads what this match has just written.
  items.push_back(Item::match(100, 45));
  // At 140: the same from 60 bytes before the end.
  items.push_back(Item::match(256, 200));
  // At 396, clear of the target: a source that ends right at the window's
  // end, then one that runs a single byte past it.
  items.push_back(Item::match(100, 396 + 100));
  items.push_back(Item::match(100, 496 + 99));
  expect_round_trip(all_symbols_block(), items);
}

// Every distance from 1 to 20 with lengths around the 8-byte steps of the
// copy: a match nearer than its length repeats its last bytes.
TEST(DecoderMatches, RepeatTheirLastBytesWhenNearerThanTheyAreLong) {
  std::vector<Item> items;
  for (unsigned c = 0; c < 30; ++c) items.push_back(Item::literal('A' + c));
  for (uint32_t distance = 1; distance <= 20; ++distance) {
    for (unsigned length : {3u, 7u, 8u, 9u, 15u, 16u, 17u, 24u, 40u, 256u}) {
      items.push_back(Item::match(length, distance));
      items.push_back(Item::literal('a' + (distance + length) % 26));
    }
  }
  expect_round_trip(all_symbols_block(), items);
}

// The oldest history lies right ahead of the newest byte: a copy that ran
// on past its match would change what a match from almost a window back
// reads, in the first window the spaces it starts with.
TEST(DecoderMatches, LeaveTheHistoryAheadOfTheirEndAlone) {
  std::vector<Item> items;
  for (unsigned c = 0; c < 40; ++c) items.push_back(Item::literal('a' + c % 26));
  for (unsigned length : {3u, 8u, 17u}) {
    items.push_back(Item::match(length, 20));
    items.push_back(Item::match(40, kWindow - 1));
  }
  expect_round_trip(all_symbols_block(), items);
}

// Codes of all lengths up to 16 in each alphabet, in a block that follows
// one whose short codes filled every table entry: the longest codes walk the
// whole tree, from entries that must not keep the first block's symbols.
TEST(DecoderBlocks, DecodeSixteenBitCodesBehindABlockOfShortCodes) {
  Block first = all_symbols_block();
  for (unsigned c = 0; c < 300; ++c) first.items.push_back(Item::literal(c * 7 % 256));
  first.items.push_back(Item::match(256, 299));

  // One code of each length 1 to 15 and two of 16: a complete code.
  auto lengths_up_to_16 = [](std::vector<unsigned>& lengths, const std::vector<unsigned>& symbols) {
    for (size_t i = 0; i < symbols.size(); ++i)
      lengths[symbols[i]] = std::min(unsigned(i) + 1, 16u);
  };
  Block second;
  second.length_code_lengths.assign(19, 0);
  // Length-code symbol 0 sends a zero length, symbols 3 to 18 the lengths 1 to 16.
  lengths_up_to_16(second.length_code_lengths,
                   {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
  std::vector<unsigned> literals;
  for (unsigned c = 'a'; c <= 'p'; ++c) literals.push_back(c);
  literals.push_back(509);  // a match of 256 bytes
  lengths_up_to_16(second.symbol_lengths, literals);
  std::vector<unsigned> slots;
  for (unsigned s = 0; s <= 16; ++s) slots.push_back(s);
  lengths_up_to_16(second.slot_lengths, slots);
  for (unsigned c = 'a'; c <= 'p'; ++c) second.items.push_back(Item::literal(c));
  second.items.push_back(Item::match(256, 193));  // slot 15
  second.items.push_back(Item::match(256, 384));  // slot 16
  second.items.push_back(Item::literal('p'));
  second.items.push_back(Item::match(256, 1));    // slot 0
  second.items.push_back(Item::literal('o'));

  std::vector<Item> all = first.items;
  all.insert(all.end(), second.items.begin(), second.items.end());
  std::vector<uint8_t> want = lume_test::expand(all);
  Decoded d = decode(stream_of({first, second}), uint32_t(want.size()));
  EXPECT_EQ(d.result, decode_ok);
  EXPECT_TRUE(d.bytes == want);
}

// The gap field after the third length-code length skips lengths that the
// block does not send.
TEST(DecoderBlocks, HonourTheGapInTheLengthCodeLengths) {
  for (unsigned gap : {1u, 2u, 3u}) {
    SCOPED_TRACE(gap);
    Block b = all_symbols_block();
    b.length_code_gap = gap;
    for (unsigned s = 3; s < 3 + gap; ++s) b.length_code_lengths[s] = 0;
    std::vector<Item> items = varied_items(70000, gap);
    expect_round_trip(b, items);
  }
}

TEST(DecoderCorruptTables, IncompleteCodesAreAcceptedAndUnusedSpaceIsSymbolZero) {
  // Literal/length codes with 'a' as 0 and the code 11 unowned, which
  // decodes as symbol 0 and takes symbol 0's length from the stream: none,
  // or its two bits when symbol 0 owns 10.
  struct Case {
    unsigned zero_length, symbol_bits, bit_count;
    std::vector<uint8_t> want;
  };
  for (const Case& c : {Case{0, 0b0110, 4, {'a', 0, 0, 0}},
                        Case{2, 0b010110, 6, {'a', 0, 0, 'a'}}}) {
    SCOPED_TRACE(c.zero_length);
    BitWriter w;
    w.put(4, 16);
    std::vector<unsigned> lc = lume_test::plain_length_code_lengths();
    lume_test::put_short_lengths(w, lc, 19, 5, true);
    w.put('a' + 1, 9);
    std::vector<unsigned> lengths('a' + 1, 0);
    lengths[0] = c.zero_length;
    lengths['a'] = 1;
    lume_test::put_length_steps(w, lume_test::plain_steps(lengths, 'a' + 1), lc);
    lume_test::put_single_symbol(w, 14, 0);
    w.put(c.symbol_bits, c.bit_count);
    w.put(0, 16);
    Decoded d = decode(w.bytes(), 4);
    EXPECT_EQ(d.result, decode_ok);
    EXPECT_EQ(d.bytes, c.want);
  }
}

TEST(DecoderTruncatedStreams, EndQuietlyAtTheNextBlockBoundary) {
  std::vector<Item> items = varied_items(200000, 6);
  std::vector<uint8_t> stream = stream_of(blocks_of(all_symbols_block(), items));
  std::vector<uint8_t> want = lume_test::expand(items);
  for (size_t cut : {size_t(0), size_t(1), size_t(5), stream.size() / 3, stream.size() - 3}) {
    std::vector<uint8_t> part(stream.begin(), stream.begin() + long(cut));
    Decoded d = decode(part, uint32_t(want.size()));
    // Missing bytes read as zero bits: the current block runs out on them
    // and the next block size reads 0. The size still bounds the output.
    EXPECT_EQ(d.result, decode_ok) << cut;
    EXPECT_LE(d.bytes.size(), want.size() + 255) << cut;
  }
  // Cut near its end, everything up to the last block is intact.
  std::vector<uint8_t> part(stream.begin(), stream.end() - 3);
  Decoded d = decode(part, uint32_t(want.size()));
  ASSERT_GE(d.bytes.size(), size_t(60000));
  EXPECT_TRUE(std::equal(d.bytes.begin(), d.bytes.begin() + 60000, want.begin()));
}

// Streams whose last symbol ends at every bit of a byte and at every byte of
// a word and of the decoder's staging: the bytes it used end exactly with
// that bit, wherever the input's pieces end; cut before it, the stream
// leaves it needing more than it has. An end marker counts once it is read.
TEST(DecoderInput, CountsTheBytesItUsedAtEveryEnd) {
  for (unsigned n = 1; n <= 24; ++n) {
    SCOPED_TRACE(n);
    Block b = all_symbols_block();
    for (unsigned i = 0; i < n; ++i) b.items.push_back(Item::literal(i % 3 == 0 ? 0 : 'a'));  // 9 or 10 bits
    std::vector<uint8_t> want = lume_test::expand(b.items);
    BitWriter w;
    lume_test::put_block(w, b);
    const std::vector<uint8_t> stream = w.bytes();
    const uint64_t used = (w.bit_count() + 7) / 8;
    for (size_t piece : {0, 1, 2, 3, 5, 8, 13}) {
      Decoded d = decode(stream, n, piece);
      EXPECT_EQ(d.bytes_used, used) << "pieces of " << piece;
      EXPECT_EQ(d.bytes, want) << "pieces of " << piece;
    }
    for (size_t cut : {size_t(0), size_t(used - 3), size_t(used - 2), size_t(used - 1)}) {
      std::vector<uint8_t> part(stream.begin(), stream.begin() + long(cut));
      EXPECT_GT(decode(part, n, cut % 4).bytes_used, cut) << "cut to " << cut;
    }
    w.put(0, 16);
    std::vector<uint8_t> marked = w.bytes();
    marked.push_back(0xA5);  // a stray byte behind the stream
    EXPECT_EQ(decode(marked, n).bytes_used, used);
    EXPECT_EQ(decode(marked, n + 1).bytes_used, (w.bit_count() + 7) / 8);
  }
}

TEST(DecoderState, EveryCallStartsFromScratch) {
  // A second decoding must not see the first one's window or tables.
  Block b = all_symbols_block();
  std::vector<Item> first = {Item::literal('1'), Item::match(100, 1)};
  expect_round_trip(b, first);
  expect_round_trip(b, {Item::match(50, 20)});  // spaces again, not '1's
}
