// Writes blocks of tokens, and the end marker, to the stream.
#pragma once

#include <span>

#include "tools/lume/codec/bit_writer.h"
#include "tools/lume/codec/code_tables.h"
#include "tools/lume/codec/token.h"

namespace lume::codec {

// One block of 1 to kMaxBlockSymbols tokens, under its own tables.
void write_block(BitWriter& out, std::span<const Token> tokens);
void write_block(BitWriter& out, std::span<const Token> tokens, const CodeTables& tables);

// A block size of 0: the stream's end.
void write_end(BitWriter& out);

}  // namespace lume::codec
