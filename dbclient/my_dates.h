// The calendar arithmetic of the database client: dates and times as the components
// hold them, seconds since 1899-12-30 00:00:00 (the day count of the platform's date
// type, times 86400), in the proleptic Gregorian calendar. Every conversion between a
// civil date and that count lives here.
//
// Threads: plain functions.
// Internal to dbclient/.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvira {

inline constexpr std::int64_t kSecondsPerDay = 86400;

struct CivilDate {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
  bool operator==(const CivilDate&) const = default;
};

// Years 1 to 9999, months 1 to 12, days within the month (29 February in leap years).
bool IsValidDate(int year, int month, int day);

// Days from 1899-12-30 to the date (negative before it). REQUIRES: a valid date.
std::int64_t DaysFromEpoch(int year, int month, int day);

// The date of a day count since 1899-12-30; the inverse of DaysFromEpoch.
CivilDate DateOfDay(std::int64_t days);

// Seconds since 1899-12-30 00:00:00 of a date and a time of day; nothing for an invalid
// date or a time outside 00:00:00 to 23:59:59.
std::optional<std::int64_t> ComposeDateTime(int year, int month, int day, int hour, int minute,
                                            int second);

// What a value that is no valid date becomes when it is not read as null: the 1st of
// January of the year 100, in seconds since 1899-12-30.
std::int64_t InvalidDateSeconds();

// "YYYY-MM-DD" of the day that holds `seconds` (the year's last four digits).
std::string FormatDate(std::int64_t seconds);
// "HH:MM:SS" of a non-negative number of seconds; hours may exceed 23.
std::string FormatClock(std::int64_t seconds);

}  // namespace kalvira
