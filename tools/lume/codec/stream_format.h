// The compressor's view of the payload's stream format. The numbers
// themselves live once, in payload/stream_format.h, which the installer's
// decoder reads too; this adds only what the compressor derives from them.
#pragma once

#include <bit>
#include <cstdint>

#include "payload/stream_format.h"

namespace lume::codec {

// The slot that carries a match distance: the inverse of slot_base().
constexpr int distance_slot(uint32_t distance) {
  uint32_t position = distance - 1;
  if (position < 4) return int(position);
  int top = std::bit_width(position) - 1;
  return 2 * top + int((position >> (top - 1)) & 1);
}

}  // namespace lume::codec
