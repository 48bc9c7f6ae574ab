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
  kStartMenuKeyedRows = 10,  // rows 00 to 09 carry keys in the stub as built
  kDesktopKeyedRows = 8,     // rows 00 to 07
};

struct ShortcutRow {
  char LinkName[kShortcutFieldWidth];   // empty: the row is not in use
  char FileField[kShortcutFieldWidth];  // target, optionally "prog.exe args"
};

struct ConfigBlock {
  char PayloadOffset[kPayloadOffsetWidth];  // decimal: where the payload begins
  char AppTitle[kTextSlotWidth];
  char FolderName[kTextSlotWidth];
  char GroupName[kTextSlotWidth];
  char RunAfterInstall[kTextSlotWidth];  // empty: nothing is run
  ShortcutRow StartMenuShortcuts[kShortcutRows];
  ShortcutRow DesktopShortcuts[kShortcutRows];
};

static_assert(sizeof(ShortcutRow) == 520, "shortcut row width");
static_assert(sizeof(ConfigBlock) == 17824, "configuration block size");
static_assert(offsetof(ConfigBlock, AppTitle) == 32 && offsetof(ConfigBlock, FolderName) == 320 &&
                  offsetof(ConfigBlock, GroupName) == 608 &&
                  offsetof(ConfigBlock, RunAfterInstall) == 896 &&
                  offsetof(ConfigBlock, StartMenuShortcuts) == 1184 &&
                  offsetof(ConfigBlock, DesktopShortcuts) == 9504,
              "configuration block layout");

// Placeholder keys. The lengths and endings are what installers in the
// field carry.
#define LUME_KEY_PAYLOAD_OFFSET "$$InstallerProgramSize"
#define LUME_KEY_APP_TITLE "$$ApplicationTitle"
#define LUME_KEY_FOLDER_NAME "$$DefaultProgramFolder"
#define LUME_KEY_GROUP_NAME "$$StartMenuProgramGroup"
#define LUME_KEY_RUN_AFTER_INSTALL "$$RunAfterInstall"
#define LUME_KEY_START_MENU_LINK(nn) "$$StartMenuShortcutLink-" nn
#define LUME_KEY_START_MENU_FILE(nn) "$$StartMenuShortcutFile-" nn
#define LUME_KEY_DESKTOP_LINK(nn) "$$DesktopShortcutLink-" nn
#define LUME_KEY_DESKTOP_FILE(nn) "$$DesktopShortcutFile-" nn

// The rows that carry keys, as X(row, "NN") for each.
#define LUME_START_MENU_KEYED_ROWS(X) \
  X(0, "00") X(1, "01") X(2, "02") X(3, "03") X(4, "04") X(5, "05") X(6, "06") X(7, "07") \
  X(8, "08") X(9, "09")
#define LUME_DESKTOP_KEYED_ROWS(X) \
  X(0, "00") X(1, "01") X(2, "02") X(3, "03") X(4, "04") X(5, "05") X(6, "06") X(7, "07")

// The PE section that holds the block and nothing else, so that whoever
// reads an installer finds the block exactly where the stub reads it.
#define LUME_CONFIG_SECTION ".lumecfg"

// Every placeholder key of the stub as built, with the slot it stands in:
// the list the building tool and the tests work from (config_keys.cpp; the
// stub itself does not carry it).
struct SlotKey {
  const char* slot;  // for messages: "AppTitle", "StartMenuShortcuts 03 LinkName"
  unsigned offset;   // of the slot in the block
  unsigned width;    // of the slot in bytes
  const char* key;
};
extern const SlotKey kSlotKeys[];
extern const unsigned kSlotKeyCount;

namespace config_keys {
constexpr size_t length(const char* s) { return *s ? 1 + length(s + 1) : 0; }
constexpr bool ends_with(const char* s, const char* tail) {
  size_t n = length(s), m = length(tail);
  if (n < m) return false;
  for (size_t i = 0; i < m; ++i)
    if (s[n - m + i] != tail[i]) return false;
  return true;
}
constexpr bool is_key(const char* s, size_t len, const char* tail) {
  return s[0] == '$' && s[1] == '$' && length(s) == len && ends_with(s, tail);
}
static_assert(is_key(LUME_KEY_PAYLOAD_OFFSET, 22, "allerProgramSize"));
static_assert(is_key(LUME_KEY_APP_TITLE, 18, "nTitle"));
static_assert(is_key(LUME_KEY_FOLDER_NAME, 22, "rogramFolder"));
static_assert(is_key(LUME_KEY_GROUP_NAME, 23, "oup"));
static_assert(is_key(LUME_KEY_RUN_AFTER_INSTALL, length(LUME_KEY_RUN_AFTER_INSTALL), ""));
static_assert(is_key(LUME_KEY_START_MENU_LINK("00"), 26, "tLink-00"));
static_assert(is_key(LUME_KEY_START_MENU_FILE("00"), 26, "ShortcutFile-00"));
static_assert(is_key(LUME_KEY_START_MENU_LINK("09"), 26, "-09"));
static_assert(is_key(LUME_KEY_DESKTOP_LINK("07"), 24, "$$DesktopShortcutLink-07"));
static_assert(is_key(LUME_KEY_DESKTOP_FILE("07"), 24, "$$DesktopShortcutFile-07"));
}  // namespace config_keys

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
