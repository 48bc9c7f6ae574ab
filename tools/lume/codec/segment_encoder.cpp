#include "tools/lume/codec/segment_encoder.h"

#include <algorithm>
#include <vector>

#include "tools/lume/codec/binary_trees.h"
#include "tools/lume/codec/block_splitter.h"
#include "tools/lume/codec/block_writer.h"
#include "tools/lume/codec/code_tables.h"
#include "tools/lume/codec/hash_chains.h"
#include "tools/lume/codec/lazy_parser.h"
#include "tools/lume/codec/optimal_parser.h"
#include "tools/lume/codec/prices.h"

namespace lume::codec {
namespace {

// The first position whose matches can reach begin's window.
uint32_t window_start(uint32_t begin, uint32_t lowest) {
  return begin > kWindowSize ? std::max(lowest, begin - kWindowSize + 1) : lowest;
}

uint32_t token_bytes(std::span<const Token> tokens) {
  uint32_t bytes = 0;
  for (const Token& token : tokens) bytes += uint32_t(token_length(token));
  return bytes;
}

void write_split(BitWriter& out, std::span<const Token> tokens, uint32_t granule) {
  for (uint32_t size : split_into_blocks(tokens, granule)) {
    write_block(out, tokens.first(size));
    tokens = tokens.subspan(size);
  }
}

void encode_lazily(std::span<const uint8_t> buffer, uint32_t begin, uint32_t end,
                   const LevelSettings& settings, std::atomic<uint64_t>& done, BitWriter& out) {
  HashChains chains(buffer, settings.depth, settings.nice_length);
  chains.insert(window_start(begin, 0), begin);
  std::vector<Token> tokens;
  for (uint32_t chunk = begin; chunk < end;) {
    uint32_t chunk_end = chunk + std::min(settings.chunk, end - chunk);
    tokens.clear();
    lazy_parse(chains, buffer, chunk, chunk_end, settings.lazy_limit, tokens);
    write_split(out, tokens, settings.granule);
    done += chunk_end - chunk;
    chunk = chunk_end;
  }
}

// One block's stretch, parsed again under its own statistics for a few
// rounds; the cheapest result is written. first: the tokens it had in the
// chunk's parse. Returns the statistics of what was written.
SymbolStats encode_block(OptimalParser& parser, uint32_t from, uint32_t to,
                         std::span<const Token> first, int rounds, BitWriter& out) {
  std::vector<Token> best(first.begin(), first.end()), tokens;
  SymbolStats best_stats;
  best_stats.add(first);
  CodeTables best_tables = build_code_tables(best_stats);
  uint64_t best_bits = best_tables.header_bits + symbol_bits(best_tables, best_stats);
  SymbolStats stats = best_stats;
  for (int round = 0; round < rounds; ++round) {
    tokens.clear();
    parser.parse(from, to, prices_from(stats), tokens);
    if (tokens.size() > kMaxBlockSymbols) break;
    stats = SymbolStats{};
    stats.add(tokens);
    CodeTables tables = build_code_tables(stats);
    uint64_t bits = tables.header_bits + symbol_bits(tables, stats);
    if (bits < best_bits) {
      best_bits = bits;
      best.swap(tokens);
      best_stats = stats;
      best_tables = std::move(tables);
    }
  }
  write_block(out, best, best_tables);
  return best_stats;
}

void encode_optimally(std::span<const uint8_t> buffer, uint32_t begin, uint32_t end,
                      const LevelSettings& settings, std::atomic<uint64_t>& done,
                      BitWriter& out) {
  BinaryTrees trees(buffer, settings.depth, settings.nice_length);
  for (uint32_t pos = window_start(begin, 1); pos < begin; ++pos) trees.skip(pos, kMaxMatch);
  OptimalParser parser(buffer);
  Prices prices = initial_prices();
  bool fresh = true;
  std::vector<Token> tokens;
  for (uint32_t chunk = begin; chunk < end;) {
    uint32_t chunk_end = chunk + std::min(settings.chunk, end - chunk);
    parser.find_matches(trees, chunk, chunk_end, end, settings.nice_length);
    tokens.clear();
    parser.parse(chunk, chunk_end, prices, tokens);
    if (fresh) {
      // Guessed prices are far off; one round under the chunk's own
      // statistics gives the block splitter something real to cut.
      SymbolStats stats;
      stats.add(tokens);
      tokens.clear();
      parser.parse(chunk, chunk_end, prices_from(stats), tokens);
      fresh = false;
    }
    std::span<const Token> rest(tokens);
    uint32_t from = chunk;
    SymbolStats last;
    for (uint32_t size : split_into_blocks(tokens, settings.granule)) {
      std::span<const Token> block = rest.first(size);
      uint32_t to = from + token_bytes(block);
      last = encode_block(parser, from, to, block, settings.rounds, out);
      rest = rest.subspan(size);
      from = to;
    }
    prices = prices_from(last);
    done += chunk_end - chunk;
    chunk = chunk_end;
  }
}

}  // namespace

BitWriter encode_segment(std::span<const uint8_t> buffer, uint32_t begin, uint32_t end,
                         const LevelSettings& settings, std::atomic<uint64_t>& done) {
  BitWriter out;
  if (settings.optimal)
    encode_optimally(buffer, begin, end, settings, done, out);
  else
    encode_lazily(buffer, begin, end, settings, done, out);
  return out;
}

}  // namespace lume::codec
