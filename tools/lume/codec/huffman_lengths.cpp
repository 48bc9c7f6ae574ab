#include "tools/lume/codec/huffman_lengths.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <vector>

#include "tools/lume/codec/stream_format.h"

namespace lume::codec {
namespace {

// One level of package-merge: the leaves merged with the packages (pairs)
// of the level below, cheapest first. Only whether each item is a leaf is
// kept: the leaves of any prefix are the cheapest leaves, so prefixes are
// all the length computation needs.
struct Level {
  std::vector<uint64_t> weights;
  std::vector<bool> is_leaf;
};

Level merge_level(const std::vector<uint64_t>& leaves, const Level* below) {
  Level level;
  size_t package_count = below == nullptr ? 0 : below->weights.size() / 2;
  level.weights.reserve(leaves.size() + package_count);
  level.is_leaf.reserve(leaves.size() + package_count);
  size_t leaf = 0, package = 0;
  while (leaf < leaves.size() || package < package_count) {
    uint64_t package_weight =
        package < package_count
            ? below->weights[2 * package] + below->weights[2 * package + 1]
            : UINT64_MAX;
    if (leaf < leaves.size() && leaves[leaf] <= package_weight) {
      level.weights.push_back(leaves[leaf++]);
      level.is_leaf.push_back(true);
    } else {
      level.weights.push_back(package_weight);
      level.is_leaf.push_back(false);
      ++package;
    }
  }
  return level;
}

}  // namespace

void limited_code_lengths(std::span<const uint32_t> freqs, int max_length,
                          std::span<uint8_t> lengths) {
  assert(lengths.size() == freqs.size());
  std::fill(lengths.begin(), lengths.end(), uint8_t{0});
  std::vector<uint16_t> order;
  for (size_t s = 0; s < freqs.size(); ++s)
    if (freqs[s] != 0) order.push_back(uint16_t(s));
  if (order.empty()) return;
  if (order.size() <= 2) {
    for (uint16_t s : order) lengths[s] = 1;
    return;
  }
  assert(order.size() <= (size_t(1) << max_length));
  std::stable_sort(order.begin(), order.end(),
                   [&](uint16_t a, uint16_t b) { return freqs[a] < freqs[b]; });
  std::vector<uint64_t> leaves(order.size());
  for (size_t i = 0; i < order.size(); ++i) leaves[i] = freqs[order[i]];

  // levels[0] is the deepest (codes of max_length bits), levels.back() the root's.
  std::vector<Level> levels;
  levels.reserve(size_t(max_length));
  for (int depth = 0; depth < max_length; ++depth)
    levels.push_back(merge_level(leaves, depth == 0 ? nullptr : &levels.back()));

  // The 2n - 2 cheapest items of the top level define the code. Each leaf
  // among an item prefix adds one bit to its symbol; each package stands
  // for two items of the level below.
  size_t take = 2 * order.size() - 2;
  for (int depth = max_length - 1; depth >= 0 && take > 0; --depth) {
    const Level& level = levels[size_t(depth)];
    size_t leaf_count = 0;
    for (size_t i = 0; i < take; ++i) leaf_count += level.is_leaf[i];
    for (size_t i = 0; i < leaf_count; ++i) ++lengths[order[i]];
    take = 2 * (take - leaf_count);
  }
}

void canonical_codes(std::span<const uint8_t> lengths, std::span<uint16_t> codes) {
  std::array<uint32_t, kMaxCodeLength + 2> count{};
  for (uint8_t length : lengths) ++count[length];
  count[0] = 0;
  std::array<uint32_t, kMaxCodeLength + 2> next{};
  uint32_t code = 0;
  for (int length = 1; length <= kMaxCodeLength; ++length) {
    code = (code + count[size_t(length - 1)]) << 1;
    next[size_t(length)] = code;
  }
  for (size_t s = 0; s < lengths.size(); ++s)
    codes[s] = lengths[s] == 0 ? 0 : uint16_t(next[lengths[s]]++);
}

int used_symbols(std::span<const uint8_t> lengths) {
  return int(std::count_if(lengths.begin(), lengths.end(), [](uint8_t l) { return l != 0; }));
}

}  // namespace lume::codec
