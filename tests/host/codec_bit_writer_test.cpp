#include "tools/lume/codec/bit_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace lume::codec {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(BitWriter, PacksFieldsMostSignificantBitFirst) {
  BitWriter out;
  out.put(0, 16);
  out.put(3, 16);
  out.put(1, 1);
  out.put(0x5, 3);
  out.put(0x3FF, 10);  // crosses a byte boundary
  EXPECT_EQ(out.bit_count(), 46u);
  // 1 101 1111111111 and two padding zeros.
  EXPECT_EQ(std::move(out).finish(), (Bytes{0x00, 0x00, 0x00, 0x03, 0xDF, 0xFC}));
}

TEST(BitWriter, SendsWideExtraBitsLowSixteenFirst) {
  BitWriter wide, by_hand;
  wide.put_extra(0x1ABCD, 17);
  by_hand.put(0xABCD, 16);
  by_hand.put(1, 1);
  EXPECT_EQ(std::move(wide).finish(), std::move(by_hand).finish());

  BitWriter narrow;
  narrow.put_extra(0xABCD, 16);
  EXPECT_EQ(std::move(narrow).finish(), (Bytes{0xAB, 0xCD}));
}

TEST(BitWriter, AppendsAnotherWriterAtAnyAlignment) {
  std::mt19937 rng(3);
  for (int shift = 0; shift < 8; ++shift) {
    BitWriter whole, first, second;
    whole.put(0x55, shift);
    first.put(0x55, shift);
    for (int i = 0; i < 100; ++i) {
      int bits = 1 + int(rng() % 32);
      uint32_t value = uint32_t(rng());
      whole.put(value, bits);
      second.put(value, bits);
    }
    first.append(second);
    EXPECT_EQ(first.bit_count(), whole.bit_count());
    EXPECT_EQ(std::move(first).finish(), std::move(whole).finish()) << "shift " << shift;
  }
}

}  // namespace
}  // namespace lume::codec
