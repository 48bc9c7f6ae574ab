#include "tools/lume/host/file_time.h"

#include <fmt/core.h>

namespace lume {

namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

struct CivilTime {
  int64_t year;
  unsigned month, day, hour, minute, second;
  uint32_t ticks;  // below the second
};

// Days since 1601-01-01 to a proleptic Gregorian date, by 400-year eras
// (1601 starts an era, so no shifting of the epoch is needed).
CivilTime civil_from_ticks(uint64_t ticks) {
  CivilTime t{};
  uint64_t seconds = ticks / kTicksPerSecond;
  t.ticks = uint32_t(ticks % kTicksPerSecond);
  uint64_t days = seconds / 86400;
  uint64_t rest = seconds % 86400;
  t.hour = unsigned(rest / 3600);
  t.minute = unsigned(rest / 60 % 60);
  t.second = unsigned(rest % 60);

  const uint64_t kDaysPerEra = 146097;
  uint64_t era = days / kDaysPerEra;
  uint64_t day_of_era = days % kDaysPerEra;
  // Centuries of 36524 days, the era's last one 36525; years of 365, each
  // fourth 366: the same clamping on both levels keeps the leap days last.
  uint64_t century = day_of_era / 36524;
  if (century == 4) century = 3;
  uint64_t day_of_century = day_of_era - century * 36524;
  uint64_t quad = day_of_century / 1461;
  uint64_t day_of_quad = day_of_century % 1461;
  uint64_t year_of_quad = day_of_quad / 365;
  if (year_of_quad == 4) year_of_quad = 3;
  unsigned day_of_year = unsigned(day_of_quad - year_of_quad * 365);
  t.year = int64_t(1601 + era * 400 + century * 100 + quad * 4 + year_of_quad);

  bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  static const unsigned kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  unsigned month = 0;
  for (; month < 12; ++month) {
    unsigned length = kMonthDays[month] + (month == 1 && leap ? 1 : 0);
    if (day_of_year < length) break;
    day_of_year -= length;
  }
  t.month = month + 1;
  t.day = day_of_year + 1;
  return t;
}

}  // namespace

uint64_t filetime_from_unix(UnixTime time) {
  if (time.seconds < -kSecondsFrom1601To1970) return 0;
  return uint64_t(time.seconds + kSecondsFrom1601To1970) * kTicksPerSecond + time.nanoseconds / 100;
}

UnixTime unix_from_filetime(uint64_t ticks) {
  return {int64_t(ticks / kTicksPerSecond) - kSecondsFrom1601To1970,
          uint32_t(ticks % kTicksPerSecond) * 100};
}

std::string filetime_date(uint64_t ticks) {
  CivilTime t = civil_from_ticks(ticks);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", t.year, t.month, t.day, t.hour,
                     t.minute, t.second);
}

std::string filetime_iso(uint64_t ticks) {
  CivilTime t = civil_from_ticks(ticks);
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:07}Z", t.year, t.month, t.day, t.hour,
                     t.minute, t.second, t.ticks);
}

}  // namespace lume
