#include "tools/lume/codec/levels.h"

#include <algorithm>
#include <array>

#include "tools/lume/codec/encoder.h"

namespace lume::codec {

const LevelSettings& level_settings(int level) {
  static const std::array<LevelSettings, kMaxLevel - kFastestLevel + 1> table = {{
      // optimal depth nice lazy rounds passes merge chunk   granule
      {false, 8, 64, 32, 0, 0, false, 1u << 20, 1024},     // 1: lazy, fastest
      {true, 8, 32, 0, 1, 1, false, 1u << 19, 1024},       // 2
      {true, 32, 128, 0, 2, 1, false, 1u << 19, 512},      // 3: default
      {true, 128, 256, 0, 4, 2, true, 1u << 19, 512},      // 4: smallest

  }};
  return table[size_t(std::clamp(level, kFastestLevel, kMaxLevel) - kFastestLevel)];
}

}  // namespace lume::codec
