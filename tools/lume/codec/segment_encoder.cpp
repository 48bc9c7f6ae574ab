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
                   const LevelSettings& settings, std::atomic<uint64_t>& done,
                   const std::atomic<bool>& stop, BitWriter& out) {
  HashChains chains(buffer, settings.depth, settings.nice_length);
  chains.insert(window_start(begin, 0), begin);
  std::vector<Token> tokens;
  for (uint32_t chunk = begin; chunk < end && !stop;) {
    uint32_t chunk_end = chunk + std::min(settings.chunk, end - chunk);
    tokens.clear();
    lazy_parse(chains, buffer, chunk, chunk_end, settings.lazy_limit, tokens);
    write_split(out, tokens, settings.granule);
    done += chunk_end - chunk;
    chunk = chunk_end;
  }
}

// A block's final tokens and the tables they are written with.
struct Block {
  std::vector<Token> tokens;
  CodeTables tables;
  SymbolStats stats;
  uint64_t bits;
};

// One block's stretch, parsed again under its own statistics for a few
// rounds; the cheapest result is kept. first: the tokens it had before.
Block refine_block(OptimalParser& parser, uint32_t from, uint32_t to,
                   std::span<const Token> first, int rounds) {
  Block best{{first.begin(), first.end()}, {}, {}, 0};
  best.stats.add(first);
  best.tables = build_code_tables(best.stats);
  best.bits = best.tables.header_bits + symbol_bits(best.tables, best.stats);
  SymbolStats stats = best.stats;
  std::vector<Token> tokens;
  for (int round = 0; round < rounds; ++round) {
    tokens.clear();
    parser.parse(from, to, prices_from(stats), tokens);
    if (tokens.size() > kMaxBlockSymbols) break;
    stats = SymbolStats{};
    stats.add(tokens);
    CodeTables tables = build_code_tables(stats);
    uint64_t bits = tables.header_bits + symbol_bits(tables, stats);
    if (bits < best.bits) {
      best.bits = bits;
      best.tokens.swap(tokens);
      best.stats = stats;
      best.tables = std::move(tables);
    }
  }
  return best;
}

// The chunk's tokens cut into blocks by the splitter's estimate, and each
// block parsed again under its own statistics.
std::vector<Block> cut_and_refine(OptimalParser& parser, uint32_t from,
                                  std::span<const Token> tokens, const LevelSettings& settings) {
  std::vector<Block> blocks;
  for (uint32_t size : split_into_blocks(tokens, settings.granule)) {
    std::span<const Token> first = tokens.first(size);
    uint32_t to = from + token_bytes(first);
    blocks.push_back(refine_block(parser, from, to, first, settings.rounds));
    tokens = tokens.subspan(size);
    from = to;
  }
  return blocks;
}

// Joins neighbouring blocks wherever one block, parsed under the joint
// statistics, costs less than the two: the splitter's estimate errs now
// and then.
void merge_neighbours(OptimalParser& parser, uint32_t from, std::vector<Block>& blocks,
                      int rounds) {
  for (size_t i = 0; i + 1 < blocks.size();) {
    uint32_t middle = from + token_bytes(blocks[i].tokens);
    if (blocks[i].tokens.size() + blocks[i + 1].tokens.size() > kMaxBlockSymbols) {
      from = middle;
      ++i;
      continue;
    }
    std::vector<Token> both = blocks[i].tokens;
    both.insert(both.end(), blocks[i + 1].tokens.begin(), blocks[i + 1].tokens.end());
    uint32_t to = middle + token_bytes(blocks[i + 1].tokens);
    Block merged = refine_block(parser, from, to, both, rounds);
    if (merged.bits < blocks[i].bits + blocks[i + 1].bits) {
      blocks[i] = std::move(merged);
      blocks.erase(blocks.begin() + std::ptrdiff_t(i) + 1);
    } else {
      from = middle;
      ++i;
    }
  }
}

void encode_optimally(std::span<const uint8_t> buffer, uint32_t begin, uint32_t end,
                      const LevelSettings& settings, std::atomic<uint64_t>& done,
                      const std::atomic<bool>& stop, BitWriter& out) {
  BinaryTrees trees(buffer, settings.depth, settings.nice_length);
  trees.prime(window_start(begin, 1), begin);
  OptimalParser parser(buffer);
  Prices prices = initial_prices();
  bool fresh = true;
  std::vector<Token> tokens;
  for (uint32_t chunk = begin; chunk < end && !stop;) {
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
    std::vector<Block> blocks = cut_and_refine(parser, chunk, tokens, settings);
    // Cut again where the refined blocks say the statistics change.
    for (int pass = 1; pass < settings.passes; ++pass) {
      tokens.clear();
      for (const Block& block : blocks)
        tokens.insert(tokens.end(), block.tokens.begin(), block.tokens.end());
      blocks = cut_and_refine(parser, chunk, tokens, settings);
    }
    if (settings.merge_blocks) merge_neighbours(parser, chunk, blocks, settings.rounds);
    for (const Block& block : blocks) write_block(out, block.tokens, block.tables);
    prices = prices_from(blocks.back().stats);
    done += chunk_end - chunk;
    chunk = chunk_end;
  }
}

}  // namespace

BitWriter encode_segment(std::span<const uint8_t> buffer, uint32_t begin, uint32_t end,
                         const LevelSettings& settings, std::atomic<uint64_t>& done,
                         const std::atomic<bool>& stop) {
  BitWriter out;
  if (settings.optimal)
    encode_optimally(buffer, begin, end, settings, done, stop, out);
  else
    encode_lazily(buffer, begin, end, settings, done, stop, out);
  return out;
}

}  // namespace lume::codec
