// FILETIME ticks (100 ns since 1601-01-01 UTC) against the host's Unix times,
// and as readable dates.
#pragma once

#include <cstdint>
#include <string>

namespace lume {

// A file's three times as FILETIME ticks, in the payload's order.
struct FileTimes {
  uint64_t creation = 0;
  uint64_t last_access = 0;
  uint64_t last_write = 0;
  bool operator==(const FileTimes&) const = default;
};

struct UnixTime {
  int64_t seconds = 0;  // since 1970-01-01 UTC; negative before
  uint32_t nanoseconds = 0;
};

// Times before 1601 have no FILETIME and become 0; sub-tick digits are cut.
uint64_t filetime_from_unix(UnixTime time);
UnixTime unix_from_filetime(uint64_t ticks);

// "2024-05-01 12:34:56" (UTC), for people.
std::string filetime_date(uint64_t ticks);
// "2024-05-01T12:34:56.1234567Z", every tick kept, for machines.
std::string filetime_iso(uint64_t ticks);

}  // namespace lume
