#include "tools/lume/codec/lazy_parser.h"

#include <algorithm>

namespace lume::codec {

void lazy_parse(HashChains& chains, std::span<const uint8_t> buffer, uint32_t from, uint32_t to,
                int lazy_limit, std::vector<Token>& out) {
  uint32_t searched = from;  // the positions below are in the chains
  auto search = [&](uint32_t pos) {
    searched = pos + 1;
    return chains.find(pos, int(std::min<uint32_t>(kMaxMatch, to - pos)));
  };
  uint32_t pos = from;
  while (pos < to) {
    Match match = search(pos);
    if (match.length == 0) {
      out.push_back(literal_token(buffer[pos]));
      ++pos;
      continue;
    }
    // Deferring by k bytes costs k literals, about a byte of worth each.
    for (uint32_t k = 1; k <= 2 && match.length < lazy_limit && pos + k < to;) {
      Match later = search(pos + k);
      if (later.length == 0 || match_worth(later) <= match_worth(match) + 8 * int(k)) {
        ++k;
        continue;
      }
      for (uint32_t i = 0; i < k; ++i) out.push_back(literal_token(buffer[pos + i]));
      pos += k;
      match = later;
      k = 1;
    }
    uint32_t end = pos + uint32_t(match.length);
    if (searched < end) chains.insert(searched, end);
    out.push_back(match_token(match.length, match.distance));
    pos = end;
  }
}

}  // namespace lume::codec
