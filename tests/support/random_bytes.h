// Numbers and bytes drawn at random, the same for the same seed on every
// machine and compiler (std::mt19937 is defined to the bit): for the host
// tests and the Windows-side tests alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace lume_test {

class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}

  uint32_t next() { return uint32_t(engine_()); }
  uint32_t below(uint32_t n) { return next() % n; }

  // size bytes that do not compress, as a string or a vector of bytes.
  template <class Bytes = std::string>
  Bytes bytes(size_t size) {
    Bytes out(size, 0);
    for (auto& b : out) b = static_cast<typename Bytes::value_type>(next());
    return out;
  }

 private:
  std::mt19937 engine_;
};

template <class Bytes = std::string>
Bytes random_bytes(size_t size, uint32_t seed) {
  return Random(seed).bytes<Bytes>(size);
}

}  // namespace lume_test
