#include "tools/lume/codec/encoder.h"

#include <algorithm>
#include <string>

#include "tools/lume/cli/error.h"
#include "tools/lume/codec/bit_writer.h"
#include "tools/lume/codec/block_writer.h"
#include "tools/lume/codec/hash_chains.h"

namespace lume::codec {
namespace {

// The decoder's window starts as spaces; a run of them in front of the
// input lets the match finders reach before the first byte.
constexpr uint32_t kSpacePrefix = kMaxMatch;

std::vector<uint8_t> with_space_prefix(std::span<const uint8_t> data) {
  std::vector<uint8_t> buffer(kSpacePrefix + data.size(), kWindowFill);
  std::copy(data.begin(), data.end(), buffer.begin() + kSpacePrefix);
  return buffer;
}

}  // namespace

std::vector<uint8_t> encode(std::span<const uint8_t> data, const EncodeOptions& options) {
  if (data.size() > kMaxInputSize)
    throw Error(std::to_string(data.size()) + " bytes exceed the compressor's limit of " +
                std::to_string(kMaxInputSize) + " bytes");
  std::vector<uint8_t> buffer = with_space_prefix(data);
  HashChains chains(buffer, 32, 128);
  chains.insert(0, kSpacePrefix);

  BitWriter out;
  std::vector<Token> tokens;
  constexpr size_t kBlockTokens = 32768;
  uint32_t pos = kSpacePrefix;
  while (pos < buffer.size()) {
    Match match = chains.find(pos, kMaxMatch);
    if (match.length != 0) {
      tokens.push_back(match_token(match.length, match.distance));
      chains.insert(pos + 1, pos + uint32_t(match.length));
      pos += uint32_t(match.length);
    } else {
      tokens.push_back(literal_token(buffer[pos]));
      ++pos;
    }
    if (tokens.size() == kBlockTokens) {
      write_block(out, tokens);
      tokens.clear();
      if (options.progress) options.progress(pos - kSpacePrefix);
    }
  }
  if (!tokens.empty()) write_block(out, tokens);
  write_end(out);
  if (options.progress) options.progress(data.size());
  return std::move(out).finish();
}

}  // namespace lume::codec
