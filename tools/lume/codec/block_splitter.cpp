#include "tools/lume/codec/block_splitter.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace lume::codec {
namespace {

// f * log2(f) for every count a block can hold.
const std::vector<float>& f_log_f() {
  static const std::vector<float> table = [] {
    std::vector<float> t(kMaxBlockSymbols + 1, 0.0f);
    for (uint32_t f = 1; f <= kMaxBlockSymbols; ++f) t[f] = float(f * std::log2(double(f)));
    return t;
  }();
  return table;
}

// Header bits per used symbol and per block, as blocks of executables and
// text measure on average.
constexpr double kHeaderBitsPerSymbol = 4.0;
constexpr double kHeaderBitsPerSlot = 3.5;
constexpr double kHeaderBits = 60.0;

template <size_t N>
double entropy_bits(const std::array<uint32_t, N>& counts, int& used) {
  const std::vector<float>& table = f_log_f();
  uint32_t total = 0;
  double sum = 0;
  for (uint32_t f : counts) {
    if (f == 0) continue;
    total += f;
    sum += table[f];
    ++used;
  }
  return total == 0 ? 0.0 : double(table[total]) - sum;
}

}  // namespace

double estimated_block_bits(const SymbolStats& stats) {
  int used_symbols = 0, used_slots = 0;
  double bits = entropy_bits(stats.symbols, used_symbols) + entropy_bits(stats.slots, used_slots);
  for (int slot = 0; slot < kSlotCount; ++slot)
    bits += double(stats.slots[size_t(slot)]) * slot_extra_bits(slot);
  return bits + kHeaderBits + kHeaderBitsPerSymbol * used_symbols +
         kHeaderBitsPerSlot * used_slots;
}

std::vector<uint32_t> split_into_blocks(std::span<const Token> tokens, uint32_t granule) {
  assert(granule >= 1 && granule <= kMaxBlockSymbols);
  size_t count = (tokens.size() + granule - 1) / granule;
  if (count == 0) return {};
  std::vector<SymbolStats> pieces(count);
  for (size_t g = 0; g < count; ++g)
    pieces[g].add(tokens.subspan(g * granule, std::min<size_t>(granule, tokens.size() - g * granule)));

  // best[j]: the cheapest way to send the first j granules; from[j]: where
  // its last block starts.
  size_t widest = kMaxBlockSymbols / granule;
  std::vector<double> best(count + 1, std::numeric_limits<double>::infinity());
  std::vector<size_t> from(count + 1, 0);
  best[0] = 0;
  for (size_t j = 1; j <= count; ++j) {
    SymbolStats block;
    for (size_t i = j; i-- > 0 && j - i <= widest;) {
      for (size_t s = 0; s < block.symbols.size(); ++s) block.symbols[s] += pieces[i].symbols[s];
      for (size_t s = 0; s < block.slots.size(); ++s) block.slots[s] += pieces[i].slots[s];
      double total = best[i] + estimated_block_bits(block);
      if (total < best[j]) best[j] = total, from[j] = i;
    }
  }

  std::vector<uint32_t> sizes;
  for (size_t j = count; j > 0; j = from[j]) {
    size_t first = from[j] * granule, last = std::min(j * granule, tokens.size());
    sizes.push_back(uint32_t(last - first));
  }
  std::reverse(sizes.begin(), sizes.end());
  return sizes;
}

}  // namespace lume::codec
