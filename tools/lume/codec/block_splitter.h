// Block splitting by cost: a parse is cut where separate code tables save
// more than their headers cost.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/lume/codec/token.h"

namespace lume::codec {

// The token counts of the blocks, in order, each 1 to kMaxBlockSymbols.
// Cuts fall on multiples of granule tokens; the cheapest set of cuts is
// chosen under an entropy estimate of each block's size.
std::vector<uint32_t> split_into_blocks(std::span<const Token> tokens, uint32_t granule);

// The estimate: entropy of the block's symbols and slots, their extra bits,
// and a header that grows with the symbols used. In bits.
double estimated_block_bits(const SymbolStats& stats);

}  // namespace lume::codec
