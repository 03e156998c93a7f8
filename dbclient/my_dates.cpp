#include "dbclient/my_dates.h"

#include <cstdio>

namespace kalvira {

namespace {

// 1970-01-01 in days since 1899-12-30, and 0000-03-01 in days before 1970-01-01: the
// count below runs from 1 March of year 0, so that leap days end each 400-year era.
constexpr std::int64_t kUnixEpochDays = 25569;
constexpr std::int64_t kEraStartToUnix = 719468;
constexpr std::int64_t kDaysPerEra = 146097;

// Days from 1899-12-30 to 1 March, year 0, through 1899-12-30 and 1970-01-01.
std::int64_t FromMarchZero(std::int64_t days) {
  return days - kUnixEpochDays + kEraStartToUnix;
}

std::string TwoDigits(std::int64_t v) {
  std::string text;
  if (v < 10) text += '0';
  text += std::to_string(v);
  return text;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= days;
}

std::int64_t DaysFromEpoch(int year, int month, int day) {
  // Years begin on 1 March, so February's length only matters at a year's end.
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t year_of_era = y - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * kDaysPerEra + day_of_era - kEraStartToUnix + kUnixEpochDays;
}

CivilDate DateOfDay(std::int64_t days) {
  const std::int64_t z = FromMarchZero(days);
  const std::int64_t era = (z >= 0 ? z : z - (kDaysPerEra - 1)) / kDaysPerEra;
  const std::int64_t day_of_era = z - era * kDaysPerEra;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t month_index = (5 * day_of_year + 2) / 153;  // 0 is March
  CivilDate date;
  date.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  date.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  date.year = static_cast<int>(year_of_era + era * 400 + (date.month <= 2 ? 1 : 0));
  return date;
}

std::optional<std::int64_t> ComposeDateTime(int year, int month, int day, int hour, int minute,
                                            int second) {
  if (!IsValidDate(year, month, day)) return std::nullopt;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  return DaysFromEpoch(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

std::int64_t InvalidDateSeconds() {
  return DaysFromEpoch(100, 1, 1) * kSecondsPerDay;
}

std::string FormatDate(std::int64_t seconds) {
  const std::int64_t days =
      seconds >= 0 ? seconds / kSecondsPerDay : (seconds - kSecondsPerDay + 1) / kSecondsPerDay;
  const CivilDate date = DateOfDay(days);
  char year[16];
  std::snprintf(year, sizeof year, "%04d", date.year % 10000);
  return year + std::string("-") + TwoDigits(date.month) + "-" + TwoDigits(date.day);
}

std::string FormatClock(std::int64_t seconds) {
  return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" +
         TwoDigits(seconds % 60);
}

}  // namespace kalvira
