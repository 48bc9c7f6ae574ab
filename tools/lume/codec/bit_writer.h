// Writes the stream's bits: most significant bit of each byte first, and
// every field most significant bit first.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "payload/stream_format.h"

namespace lume::codec {

class BitWriter {
 public:
  // Appends the low `count` bits of value (count 0 to 32).
  void put(uint32_t value, int count) {
    if (count == 0) return;
    pending_ = (pending_ << count) | (value & mask(count));
    pending_count_ += count;
    while (pending_count_ >= 8) {
      pending_count_ -= 8;
      bytes_.push_back(uint8_t(pending_ >> pending_count_));
    }
  }

  // Position extra bits wider than kLongFieldSplit travel as their low
  // kLongFieldSplit bits, then the rest.
  void put_extra(uint32_t value, int count) {
    if (count <= kLongFieldSplit) {
      put(value, count);
    } else {
      put(value & mask(kLongFieldSplit), kLongFieldSplit);
      put(value >> kLongFieldSplit, count - kLongFieldSplit);
    }
  }

  // Appends everything another writer holds, at any bit alignment.
  void append(const BitWriter& other) {
    if (pending_count_ == 0) {
      bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
    } else {
      bytes_.reserve(bytes_.size() + other.bytes_.size() + 1);
      for (uint8_t byte : other.bytes_) put(byte, 8);
    }
    put(uint32_t(other.pending_), other.pending_count_);
  }

  // The whole bytes written so far; only the bits that do not fill a byte
  // stay behind.
  std::vector<uint8_t> take_bytes() { return std::exchange(bytes_, {}); }

  uint64_t bit_count() const { return uint64_t(bytes_.size()) * 8 + uint64_t(pending_count_); }

  // The bytes written, the last one padded with zero bits.
  std::vector<uint8_t> finish() && {
    if (pending_count_ > 0) bytes_.push_back(uint8_t(pending_ << (8 - pending_count_)));
    pending_count_ = 0;
    return std::move(bytes_);
  }

 private:
  static uint64_t mask(int count) { return (uint64_t(1) << count) - 1; }

  std::vector<uint8_t> bytes_;
  uint64_t pending_ = 0;   // the last pending_count_ bits are not yet in bytes_
  int pending_count_ = 0;  // 0 to 7 between calls
};

}  // namespace lume::codec
