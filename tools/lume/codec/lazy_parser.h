// The fast levels' parser: the longest match a hash-chain search finds, taken
// one byte later instead when the next position starts a longer one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/lume/codec/hash_chains.h"
#include "tools/lume/codec/token.h"

namespace lume::codec {

// Appends the tokens for positions from to to - 1; no match reaches past
// to. The chains must hold the positions before from; they receive every
// position up to to.
void lazy_parse(HashChains& chains, std::span<const uint8_t> buffer, uint32_t from, uint32_t to,
                int lazy_limit, std::vector<Token>& out);

}  // namespace lume::codec
