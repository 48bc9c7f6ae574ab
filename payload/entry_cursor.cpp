#include "payload/entry_cursor.h"

#include <string.h>

// The fields as stored are the record's layout on a little-endian machine,
// where one copy takes them (and keeps the stub small); elsewhere they are
// assembled byte by byte.
static void load_fields(EntryFields* fields, const unsigned char* at) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  memcpy(fields, at, kEntryFieldsSize);
#else
  fields->check = load_u32le(at);
  fields->size = load_u32le(at + 4);
  StoredTime* times[3] = {&fields->creation_time, &fields->last_access_time,
                          &fields->last_write_time};
  for (int i = 0; i < 3; ++i) *times[i] = {load_u32le(at + 8 + 8 * i), load_u32le(at + 12 + 8 * i)};
#endif
}

void start_entries(EntryCursor* cursor, const unsigned char* directory, uint32_t directory_size,
                   uint32_t file_count) {
  cursor->directory = directory;
  cursor->directory_size = directory_size;
  cursor->position = 0;
  cursor->entries_left = file_count;
}

EntryStep next_entry(EntryCursor* cursor, PayloadEntry* entry) {
  if (cursor->entries_left == 0) return entries_done;
  // position never passes directory_size, so the differences cannot wrap.
  uint32_t room = cursor->directory_size - cursor->position;
  if (room < kEntryNameOffset) return entry_overrun;
  const unsigned char* at = cursor->directory + cursor->position;
  unsigned name_length = at[kEntryFieldsSize];
  if (room - kEntryNameOffset < name_length) return entry_overrun;

  load_fields(&entry->fields, at);
  entry->name = reinterpret_cast<const char*>(at + kEntryNameOffset);
  entry->name_length = name_length;
  cursor->position += kEntryNameOffset + name_length;
  --cursor->entries_left;
  return entry_read;
}
