#include "payload/check_value.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/payload_bytes.h"
#include "tests/support/random_bytes.h"

namespace {
uint32_t check_of(const std::string& s) {
  build_crc_table();
  return update_check(kCheckPreset, reinterpret_cast<const unsigned char*>(s.data()),
                      static_cast<uint32_t>(s.size()));
}
}  // namespace

TEST(CheckValue, KnownValues) {
  EXPECT_EQ(check_of(""), 0xFFFFFFFFu);
  EXPECT_EQ(check_of("abc"), 0xCADBBE3Du);
  // The complement of the common CRC-32 of "123456789" (0xCBF43926).
  EXPECT_EQ(check_of("123456789"), ~0xCBF43926u);
}

TEST(CheckValue, AgreesWithBitwiseDefinitionInAnyChunking) {
  lume_test::Random random(7);
  std::string data = random.bytes(10000);
  build_crc_table();
  uint32_t reg = kCheckPreset;
  size_t at = 0;
  while (at < data.size()) {
    size_t n = std::min<size_t>(data.size() - at, random.below(700));
    reg = update_check(reg, reinterpret_cast<const unsigned char*>(data.data() + at),
                       static_cast<uint32_t>(n));
    at += n;
  }
  EXPECT_EQ(reg, lume_test::reference_check(data));
}
