#include "radio/settings_files.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <limits>
#include <utility>

#include "platform/profile.h"
#include "radio/settings_keys.h"

namespace kalvira {

TSettingsFiles::TSettingsFiles(std::string program_dir, Clock clock)
    : config_path_(program_dir + std::string(settings::kConfigFile)),
      rating_path_(program_dir + std::string(settings::kRatingFile)),
      clock_(clock ? std::move(clock) : Clock(&std::chrono::system_clock::now)) {}

std::string TSettingsFiles::ReadConfigValue(std::string_view key) const {
  return ReadProfileString(config_path_, settings::kConfigSection, key);
}

void TSettingsFiles::WriteConfigValue(std::string_view key, std::string_view value) const {
  WriteProfileString(config_path_, settings::kConfigSection, key, value);
}

void TSettingsFiles::LogError(std::string_view message) const {
  WriteProfileString(config_path_, settings::kErrorLogSection, LogErrorKey(clock_()), message);
}

std::string TSettingsFiles::ReadGenreStation(std::string_view genre) const {
  return ReadProfileString(config_path_, settings::kGenresSection, genre);
}

void TSettingsFiles::VoteFor(std::string_view path) const {
  AddVote(path, +1);
}

void TSettingsFiles::VoteAgainst(std::string_view path) const {
  AddVote(path, -1);
}

void TSettingsFiles::AddVote(std::string_view path, long long delta) const {
  const long long rating = ParseRating(ReadProfileString(rating_path_, path, settings::kRatingKey));
  constexpr long long kMax = std::numeric_limits<long long>::max();
  constexpr long long kMin = std::numeric_limits<long long>::min();
  const bool at_limit = (delta > 0 && rating == kMax) || (delta < 0 && rating == kMin);
  const long long next = at_limit ? rating : rating + delta;
  WriteProfileString(rating_path_, path, settings::kRatingKey, std::to_string(next));
}

std::string LogErrorKey(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&t, &local);
  char text[64];
  const int n =
      std::snprintf(text, sizeof text, settings::kLogKeyFormat, local.tm_mday, local.tm_mon + 1,
                    local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

long long ParseRating(std::string_view text) {
  if (text.empty()) return 0;
  std::size_t start = 0;
  if (text[0] == '+') {
    start = 1;  // from_chars takes "-" but not "+"
    if (text.size() > 1 && text[1] == '-') return 0;
  }
  long long value = 0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) return 0;
  return value;
}

}  // namespace kalvira
