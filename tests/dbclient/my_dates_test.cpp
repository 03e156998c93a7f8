// The client's calendar: civil dates to day counts since 1899-12-30 and back, across
// the range the components hold, leap years and the ends of the range.
#include "dbclient/my_dates.h"

#include <gtest/gtest.h>

namespace kalvira {
namespace {

TEST(MyDatesTest, DaysFromTheEpochAndBack) {
  const struct {
    int year, month, day;
    std::int64_t days;
  } cases[] = {
      {1899, 12, 30, 0},      {1899, 12, 31, 1},    {1900, 1, 1, 2},     {1900, 3, 1, 61},
      {1970, 1, 1, 25569},    {2000, 2, 29, 36585}, {2000, 3, 1, 36586}, {2009, 12, 8, 40155},
      {1600, 2, 29, -109512}, {100, 1, 1, -657434}, {1, 1, 1, -693593},  {9999, 12, 31, 2958465},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.year << "-" << c.month << "-" << c.day);
    EXPECT_EQ(DaysFromEpoch(c.year, c.month, c.day), c.days);
    EXPECT_EQ(DateOfDay(c.days), (CivilDate{c.year, c.month, c.day}));
  }
  // Every day of four centuries around the epoch goes there and back.
  for (std::int64_t days = -80000; days < 80000; ++days) {
    const CivilDate date = DateOfDay(days);
    ASSERT_TRUE(IsValidDate(date.year, date.month, date.day)) << days;
    ASSERT_EQ(DaysFromEpoch(date.year, date.month, date.day), days);
  }
}

TEST(MyDatesTest, ValidDatesAndTimes) {
  const struct {
    int year, month, day, hour, minute, second;
    bool expect_fail;
    std::int64_t seconds;
  } cases[] = {
      {2009, 12, 8, 14, 3, 27, false, 40155 * kSecondsPerDay + 50607},
      {1899, 12, 30, 0, 0, 0, false, 0},
      {1899, 12, 29, 23, 59, 59, false, -1},
      {2000, 2, 29, 0, 0, 0, false, 36585 * kSecondsPerDay},
      {1900, 2, 29, 0, 0, 0, true, 0},  // not a leap year
      {2001, 2, 29, 0, 0, 0, true, 0},
      {2024, 4, 31, 0, 0, 0, true, 0},
      {2024, 13, 1, 0, 0, 0, true, 0},
      {2024, 0, 1, 0, 0, 0, true, 0},
      {0, 1, 1, 0, 0, 0, true, 0},  // the zero date
      {10000, 1, 1, 0, 0, 0, true, 0},
      {2024, 1, 1, 24, 0, 0, true, 0},
      {2024, 1, 1, 0, 60, 0, true, 0},
      {2024, 1, 1, 0, 0, 60, true, 0},
      {2024, 1, 1, -1, 0, 0, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.year << "-" << c.month << "-" << c.day << " " << c.hour
                                      << ":" << c.minute << ":" << c.second);
    const std::optional<std::int64_t> seconds =
        ComposeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
    ASSERT_EQ(seconds.has_value(), !c.expect_fail);
    if (seconds) {
      EXPECT_EQ(*seconds, c.seconds);
    }
  }
}

TEST(MyDatesTest, FormatsDatesAndClockTimes) {
  EXPECT_EQ(FormatDate(0), "1899-12-30");
  EXPECT_EQ(FormatDate(-1), "1899-12-29");
  EXPECT_EQ(FormatDate(40155 * kSecondsPerDay + 50607), "2009-12-08");
  // A value that is no date, when it is not read as null.
  EXPECT_EQ(FormatDate(InvalidDateSeconds()), "0100-01-01");
  EXPECT_EQ(FormatDate(DaysFromEpoch(1, 1, 1) * kSecondsPerDay), "0001-01-01");
  EXPECT_EQ(FormatClock(50607), "14:03:27");
  EXPECT_EQ(FormatClock(0), "00:00:00");
  EXPECT_EQ(FormatClock(100 * 3600 + 61), "100:01:01");
}

}  // namespace
}  // namespace kalvira
