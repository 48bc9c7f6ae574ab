// Turning a stub into a product's installer: the configuration block is
// found by its keys and the values are written over the slots' beginnings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/lume/stub/slot_values.h"

namespace lume {

// The offset of the configuration block in an unconfigured stub: where its
// PayloadOffset key stands, followed by its terminator, with every other
// slot holding its key where the layout puts it. Throws lume::Error naming
// stub_name ("keys missing or already overwritten") otherwise.
size_t find_config_block(std::span<const uint8_t> stub, const std::string& stub_name);

// Writes every slot of the block in stub: PayloadOffset as the stub's length
// in decimal, each value and its terminator over the start of its slot. The
// keyed shortcut rows the values do not use are blanked (a zero byte over the
// first key character of both fields), so each table ends where its list
// ends. The values must fit their slots (make_slot_values sees to that).
void patch_stub(std::vector<uint8_t>& stub, const SlotValues& values, const std::string& stub_name);

}  // namespace lume
