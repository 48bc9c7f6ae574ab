#include <gtest/gtest.h>

#include "tools/lume/host/file_time.h"

using namespace lume;

TEST(FileTime, CountsTicksFrom1601) {
  EXPECT_EQ(filetime_from_unix({0, 0}), 116444736000000000ull);
  EXPECT_EQ(filetime_from_unix({1, 999}), 116444736010000009ull);  // sub-tick digits cut
  EXPECT_EQ(filetime_from_unix({-11644473600, 0}), 0u);
  EXPECT_EQ(filetime_from_unix({-11644473601, 0}), 0u);  // before 1601: no FILETIME
}

TEST(FileTime, GoesBackToTheSameUnixTime) {
  for (UnixTime t : {UnixTime{0, 0}, UnixTime{1700000000, 123456700}, UnixTime{-86400, 100}}) {
    UnixTime back = unix_from_filetime(filetime_from_unix(t));
    EXPECT_EQ(back.seconds, t.seconds);
    EXPECT_EQ(back.nanoseconds, t.nanoseconds);
  }
}

TEST(FileTime, WritesDatesOfTheGregorianCalendar) {
  EXPECT_EQ(filetime_date(0), "1601-01-01 00:00:00");
  EXPECT_EQ(filetime_date(116444736000000000ull), "1970-01-01 00:00:00");
  // Leap days of a year divisible by 400 and of an ordinary fourth year, the
  // last day of a leap century, and a day after a non-leap century year.
  EXPECT_EQ(filetime_date(filetime_from_unix({951782400, 0})), "2000-02-29 00:00:00");
  EXPECT_EQ(filetime_date(filetime_from_unix({978307199, 0})), "2000-12-31 23:59:59");
  EXPECT_EQ(filetime_date(filetime_from_unix({1709164800 + 3723, 0})), "2024-02-29 01:02:03");
  EXPECT_EQ(filetime_date(filetime_from_unix({-2203891200, 0})), "1900-03-01 00:00:00");
  EXPECT_EQ(filetime_iso(filetime_from_unix({1700000000, 123456700})),
            "2023-11-14T22:13:20.1234567Z");
}
