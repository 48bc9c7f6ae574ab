#include "tools/lume/codec/levels.h"

#include <algorithm>
#include <array>

#include "tools/lume/codec/encoder.h"

namespace lume::codec {

const LevelSettings& level_settings(int level) {
  static const std::array<LevelSettings, kMaxLevel - kFastestLevel + 1> table = {{
      // optimal depth nice lazy rounds chunk granule
      {false, 8, 64, 32, 0, 1u << 20, 1024},
      {true, 16, 64, 0, 2, 1u << 19, 1024},
      {true, 48, 256, 0, 3, 1u << 19, 512},
  }};
  return table[size_t(std::clamp(level, kFastestLevel, kMaxLevel) - kFastestLevel)];
}

}  // namespace lume::codec
