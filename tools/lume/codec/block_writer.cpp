#include "tools/lume/codec/block_writer.h"

#include <cassert>

namespace lume::codec {

void write_block(BitWriter& out, std::span<const Token> tokens) {
  SymbolStats stats;
  stats.add(tokens);
  write_block(out, tokens, build_code_tables(stats));
}

void write_block(BitWriter& out, std::span<const Token> tokens, const CodeTables& tables) {
  assert(!tokens.empty() && tokens.size() <= kMaxBlockSymbols);
  out.put(uint32_t(tokens.size()), kBlockSizeBits);
  write_header(out, tables);
  for (const Token& token : tokens) {
    out.put(tables.symbol_codes[token.symbol], tables.symbol_lengths[token.symbol]);
    if (token.is_match()) {
      out.put(tables.slot_codes[token.slot], tables.slot_lengths[token.slot]);
      out.put_extra(token.extra, slot_extra_bits(token.slot));
    }
  }
}

void write_end(BitWriter& out) { out.put(0, kBlockSizeBits); }

}  // namespace lume::codec
