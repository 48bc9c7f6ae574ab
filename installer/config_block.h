// The configuration block: every per-product setting of the installer, as
// fixed-width text slots in the stub's initialised data.
//
// The stub is built with placeholder keys in the slots; the building tool
// finds the block by those keys, writes each value and its terminator over
// the beginning of its slot, and leaves the rest of the slot as it was. The
// installer only reads the slots, in place. This header is shared with the
// building tool, which needs the layout and the keys but not the block.
#pragma once

#include <stddef.h>

enum {
  kPayloadOffsetWidth = 32,
  kTextSlotWidth = 288,
  kShortcutFieldWidth = 260,
  kShortcutRows = 16,
};

// The placeholder key of PayloadOffset, which also tells an unconfigured
// stub from an installer.
#define LUME_KEY_PAYLOAD_OFFSET "$$InstallerProgramSize"

// Every slot of the block, in its order, once. The block, the stub's keys,
// the table below and through it the building tool's patcher, reader and
// listings all come from this list.
//   X(name, kind, width, key): a number or a text of width bytes whose
//     placeholder is key;
//   T(name, keyed_rows, link_key, file_key): a table of kShortcutRows
//     shortcut rows; the rows that keyed_rows lists carry keys, the link
//     and file keys followed by the row's number as two digits, and the
//     rows behind them start out empty.
// The keys' lengths and endings are what installers in the field carry.
#define LUME_CONFIG_SLOTS(X, T)                                                        \
  X(PayloadOffset, slot_number, kPayloadOffsetWidth, LUME_KEY_PAYLOAD_OFFSET)          \
  X(AppTitle, slot_text, kTextSlotWidth, "$$ApplicationTitle")                         \
  X(FolderName, slot_name, kTextSlotWidth, "$$DefaultProgramFolder")                   \
  X(GroupName, slot_name, kTextSlotWidth, "$$StartMenuProgramGroup")                   \
  X(RunAfterInstall, slot_text, kTextSlotWidth, "$$RunAfterInstall")                   \
  T(StartMenuShortcuts, LUME_ROWS_00_TO_09, "$$StartMenuShortcutLink-",                \
    "$$StartMenuShortcutFile-")                                                        \
  T(DesktopShortcuts, LUME_ROWS_00_TO_07, "$$DesktopShortcutLink-", "$$DesktopShortcutFile-")

// Row lists for keyed_rows: R(link_key, file_key, "NN") for each row.
#define LUME_ROWS_00_TO_07(R, link, file)                                               \
  R(link, file, "00") R(link, file, "01") R(link, file, "02") R(link, file, "03")       \
  R(link, file, "04") R(link, file, "05") R(link, file, "06") R(link, file, "07")
#define LUME_ROWS_00_TO_09(R, link, file) \
  LUME_ROWS_00_TO_07(R, link, file) R(link, file, "08") R(link, file, "09")

enum SlotKind {
  slot_number,        // decimal digits
  slot_text,          // a text up to its terminator
  slot_name,          // a text that the installer makes a folder of
  slot_shortcut_rows  // kShortcutRows rows; the first empty LinkName ends the table
};

struct ShortcutRow {
  char LinkName[kShortcutFieldWidth];   // empty: the row is not in use
  char FileField[kShortcutFieldWidth];  // target, optionally "prog.exe args"
};

#define LUME_SLOT_MEMBER(name, kind, width, key) char name[width];
#define LUME_TABLE_MEMBER(name, keyed_rows, link_key, file_key) ShortcutRow name[kShortcutRows];
struct ConfigBlock {
  LUME_CONFIG_SLOTS(LUME_SLOT_MEMBER, LUME_TABLE_MEMBER)
};
#undef LUME_SLOT_MEMBER
#undef LUME_TABLE_MEMBER

// Where installers in the field have each slot: a new slot goes at the
// end of the list, and the block's size grows by its width.
static_assert(sizeof(ShortcutRow) == 520, "shortcut row width");
static_assert(sizeof(ConfigBlock) == 17824, "configuration block size");
static_assert(offsetof(ConfigBlock, AppTitle) == 32 && offsetof(ConfigBlock, FolderName) == 320 &&
                  offsetof(ConfigBlock, GroupName) == 608 &&
                  offsetof(ConfigBlock, RunAfterInstall) == 896 &&
                  offsetof(ConfigBlock, StartMenuShortcuts) == 1184 &&
                  offsetof(ConfigBlock, DesktopShortcuts) == 9504,
              "configuration block layout");

// The slots by their place in kConfigSlots: kPayloadOffsetSlot ...
#define LUME_SLOT_ID(name, ...) k##name##Slot,
enum ConfigSlotId { LUME_CONFIG_SLOTS(LUME_SLOT_ID, LUME_SLOT_ID) kConfigSlotCount };
#undef LUME_SLOT_ID

// One slot of the block as the building tool and the tests walk it. The
// stub reads the block by its members and never links this table.
struct ConfigSlot {
  const char* name;      // as the block and messages call it
  SlotKind kind;
  unsigned offset;       // in the block
  unsigned size;         // bytes it takes in the block: its width, or all its rows
  unsigned keyed_rows;   // a table's rows that carry keys, from row 00; 0 for the others
  const char* key;       // its placeholder; a table's: the LinkName keys before the row number
  const char* file_key;  // a table's FileField keys before the row number; null for the others
};

#define LUME_COUNT_ROW(link, file, nn) +1  // keyed_rows counted: 0 +1 +1 ...
#define LUME_SLOT_ENTRY(name, kind, width, key) \
  {#name, kind, offsetof(ConfigBlock, name), width, 0, key, nullptr},
#define LUME_TABLE_ENTRY(name, keyed_rows, link_key, file_key)                       \
  {#name, slot_shortcut_rows, offsetof(ConfigBlock, name), sizeof(ConfigBlock::name), \
   0 keyed_rows(LUME_COUNT_ROW, , ), link_key, file_key},
inline constexpr ConfigSlot kConfigSlots[kConfigSlotCount] = {
    LUME_CONFIG_SLOTS(LUME_SLOT_ENTRY, LUME_TABLE_ENTRY)};
#undef LUME_COUNT_ROW
#undef LUME_SLOT_ENTRY
#undef LUME_TABLE_ENTRY

namespace config_slots {
constexpr size_t length(const char* s) { return *s ? 1 + length(s + 1) : 0; }
constexpr bool ends_with(const char* s, const char* tail) {
  size_t n = length(s), m = length(tail);
  if (n < m) return false;
  for (size_t i = 0; i < m; ++i)
    if (s[n - m + i] != tail[i]) return false;
  return true;
}
// A slot's key, or a table's key with its two digits, has length bytes and
// ends in tail.
constexpr bool is_key(ConfigSlotId id, size_t len, const char* tail, bool file = false) {
  const ConfigSlot& slot = kConfigSlots[id];
  const char* key = file ? slot.file_key : slot.key;
  size_t digits = slot.kind == slot_shortcut_rows ? 2 : 0;
  return key[0] == '$' && key[1] == '$' && length(key) + digits == len && ends_with(key, tail);
}
static_assert(is_key(kPayloadOffsetSlot, 22, "allerProgramSize"));
static_assert(is_key(kAppTitleSlot, 18, "nTitle"));
static_assert(is_key(kFolderNameSlot, 22, "rogramFolder"));
static_assert(is_key(kGroupNameSlot, 23, "oup"));
static_assert(is_key(kRunAfterInstallSlot, length(kConfigSlots[kRunAfterInstallSlot].key), ""));
static_assert(is_key(kStartMenuShortcutsSlot, 26, "tLink-"));
static_assert(is_key(kStartMenuShortcutsSlot, 26, "ShortcutFile-", true));
static_assert(is_key(kDesktopShortcutsSlot, 24, "$$DesktopShortcutLink-"));
static_assert(is_key(kDesktopShortcutsSlot, 24, "$$DesktopShortcutFile-", true));
static_assert(kConfigSlots[kStartMenuShortcutsSlot].keyed_rows == 10 &&
              kConfigSlots[kDesktopShortcutsSlot].keyed_rows == 8);

// The slots follow each other without a gap and fill the block: a text
// without its terminator runs on into the slot behind it, as the tool's
// reader tells.
constexpr bool slots_tile_the_block() {
  unsigned end = 0;
  for (const ConfigSlot& slot : kConfigSlots) {
    if (slot.offset != end) return false;
    end += slot.size;
  }
  return end == sizeof(ConfigBlock);
}
static_assert(slots_tile_the_block(), "the slots tile the block");
}  // namespace config_slots

// The PE section that holds the block and nothing else, so that whoever
// reads an installer finds the block exactly where the stub reads it.
#define LUME_CONFIG_SECTION ".lumecfg"

// PayloadOffset read by the rules of atoi: leading white space, an optional
// sign, then decimal digits up to the first other character; no digits give
// 0. A value beyond the 32-bit range saturates instead of wrapping, so it
// cannot alias a small offset.
long payload_offset_value(const char* text);

// Where a shortcut row's FileField divides into target and arguments: the
// blank of its first ".exe " (in any letter case), or null when it has none
// and the whole field is the target. The arguments are the text behind the
// blank, and may be empty.
const char* arguments_mark(const char* file_field);

// A slot's text must hold no control character (0x00 to 0x1F, 0x7F): the
// title is the first line of the uninstaller's data file, where a line feed
// would start a record of its own, and a terminator would cut the text
// short. Returns the index of the first one among length bytes, or -1.
int first_control_character(const char* text, unsigned length);

// "line feed", "tab", ...: the name of a control character, for messages;
// "control character" for those without a common one.
const char* control_character_name(unsigned char c);

// The block itself, alone in its section of the stub (config_block.cpp).
extern ConfigBlock config;
