// The fast level's parser: the most worthwhile match a hash-chain search
// finds, unless one starting a byte or two later is worth more than the
// literals it takes to get there.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/lume/codec/hash_chains.h"
#include "tools/lume/codec/token.h"

namespace lume::codec {

// Appends the tokens for positions from to to - 1; no match reaches past
// to. The chains must hold the positions before from; they receive every
// position up to to. A match of lazy_limit bytes is taken without looking
// further.
void lazy_parse(HashChains& chains, std::span<const uint8_t> buffer, uint32_t from, uint32_t to,
                int lazy_limit, std::vector<Token>& out);

}  // namespace lume::codec
