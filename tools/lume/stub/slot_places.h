// The texts of the configuration block one by one, as the patcher writes
// them and the reader reads them back: each number and text slot, and each
// field of each shortcut row, walked from installer/config_block.h.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "installer/config_block.h"
#include "tools/lume/stub/slot_values.h"

namespace lume {

struct SlotPlace {
  std::string name;  // "AppTitle", "StartMenuShortcuts 03 LinkName"
  ConfigSlotId slot;
  int row = -1;             // a table's row; -1 for the other slots
  bool file_field = false;  // a row's FileField, else its LinkName
  bool is_name = false;     // the installer makes a file or folder of it
  size_t offset = 0;        // in the block
  unsigned width = 0;
  std::string key;  // what the stub as built holds there, before a zero byte;
                    // empty: zero bytes, in a table's rows behind the keyed ones
};

// Every text of the block in its order; each begins where the one before
// it ends, which is where a text without its terminator runs on.
const std::vector<SlotPlace>& slot_places();

// The text that values give place: a text slot's, or a field of a row in
// use; null for the number slot and for the rows out of use.
const std::string* value_at(const SlotPlace& place, const SlotValues& values);

// "app_title" for "AppTitle": a slot's name as the JSON listing writes it.
std::string snake_case(const char* name);

}  // namespace lume
