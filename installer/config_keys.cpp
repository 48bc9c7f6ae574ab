#include <stddef.h>

#include "installer/config_block.h"

#define TEXT_SLOT(name, key) {#name, offsetof(ConfigBlock, name), kTextSlotWidth, key},
#define ROW_FIELD(table, row, nn, field, key)                                                \
  {#table " " nn " " #field,                                                                 \
   unsigned(offsetof(ConfigBlock, table) + (row) * sizeof(ShortcutRow) +                     \
            offsetof(ShortcutRow, field)),                                                   \
   kShortcutFieldWidth, key},
#define START_MENU_KEYS(row, nn)                                                       \
  ROW_FIELD(StartMenuShortcuts, row, nn, LinkName, LUME_KEY_START_MENU_LINK(nn)) \
  ROW_FIELD(StartMenuShortcuts, row, nn, FileField, LUME_KEY_START_MENU_FILE(nn))
#define DESKTOP_KEYS(row, nn)                                                    \
  ROW_FIELD(DesktopShortcuts, row, nn, LinkName, LUME_KEY_DESKTOP_LINK(nn)) \
  ROW_FIELD(DesktopShortcuts, row, nn, FileField, LUME_KEY_DESKTOP_FILE(nn))

const SlotKey kSlotKeys[] = {
    {"PayloadOffset", offsetof(ConfigBlock, PayloadOffset), kPayloadOffsetWidth,
     LUME_KEY_PAYLOAD_OFFSET},
    TEXT_SLOT(AppTitle, LUME_KEY_APP_TITLE)
    TEXT_SLOT(FolderName, LUME_KEY_FOLDER_NAME)
    TEXT_SLOT(GroupName, LUME_KEY_GROUP_NAME)
    TEXT_SLOT(RunAfterInstall, LUME_KEY_RUN_AFTER_INSTALL)
    LUME_START_MENU_KEYED_ROWS(START_MENU_KEYS)
    LUME_DESKTOP_KEYED_ROWS(DESKTOP_KEYS)
};
const unsigned kSlotKeyCount = sizeof kSlotKeys / sizeof kSlotKeys[0];
