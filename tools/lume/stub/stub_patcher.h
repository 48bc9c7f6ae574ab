// Turning a stub into a product's installer: the configuration block is
// taken from its own section and the values are written over the slots'
// beginnings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/lume/stub/slot_values.h"

namespace lume {

// The file offset of the configuration block of an unconfigured stub: the
// start of its configuration section, every slot holding its key and
// terminator where the layout puts it (slot_places). Throws lume::Error
// naming stub_name ("keys missing or already overwritten", or what is wrong
// with its headers) otherwise.
size_t find_config_block(std::span<const uint8_t> stub, const std::string& stub_name);

// Writes every slot of the block in stub: PayloadOffset as the stub's length
// in decimal, each value and its terminator over the start of its slot. The
// keyed shortcut rows the values do not use are blanked (a zero byte over the
// first key character of both fields), so each table ends where its list
// ends. The values must fit their slots (make_slot_values sees to that).
void patch_stub(std::vector<uint8_t>& stub, const SlotValues& values, const std::string& stub_name);

}  // namespace lume
