// What each compression level does: which parser, how hard its match
// finder searches, how often blocks are parsed again.
#pragma once

#include <cstdint>

namespace lume::codec {

struct LevelSettings {
  bool optimal;        // near-optimal parsing over binary trees; else lazy over hash chains
  int depth;           // tree nodes or chain links visited per search
  int nice_length;     // a match this long ends the search
  int lazy_limit;      // lazy parsing: a match this long is taken at once
  int rounds;          // optimal parsing: parses per block, each priced by the one before
  int passes;          // optimal parsing: times a chunk is cut into blocks and they are refined
  bool merge_blocks;   // optimal parsing: join neighbouring blocks where that is cheaper
  uint32_t chunk;      // bytes parsed and then cut into blocks at once
  uint32_t granule;    // tokens between the places where blocks may be cut
};

const LevelSettings& level_settings(int level);

}  // namespace lume::codec
