#include "tools/lume/codec/lazy_parser.h"

#include <algorithm>

namespace lume::codec {

void lazy_parse(HashChains& chains, std::span<const uint8_t> buffer, uint32_t from, uint32_t to,
                int lazy_limit, std::vector<Token>& out) {
  auto room = [&](uint32_t pos) { return int(std::min<uint32_t>(kMaxMatch, to - pos)); };
  uint32_t pos = from;
  while (pos < to) {
    Match match = chains.find(pos, room(pos));
    if (match.length == 0) {
      out.push_back(literal_token(buffer[pos]));
      ++pos;
      continue;
    }
    uint32_t searched = pos + 1;  // positions below this are in the chains
    while (match.length < lazy_limit && pos + 1 < to) {
      Match next = chains.find(pos + 1, room(pos + 1));
      searched = pos + 2;
      if (next.length <= match.length) break;
      out.push_back(literal_token(buffer[pos]));
      ++pos;
      match = next;
    }
    uint32_t end = pos + uint32_t(match.length);
    if (searched < end) chains.insert(searched, end);
    out.push_back(match_token(match.length, match.distance));
    pos = end;
  }
}

}  // namespace lume::codec
