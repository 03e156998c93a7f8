// The six operations through which the program reads and writes its settings files:
// config.ini (settings, genre table, error log) and sraiting.ini (votes), both in the
// program's folder. Section and key names are in radio/settings_keys.h.
//
// Nothing is cached: every call opens the file, does one read or one write and closes
// it, so a change made by hand counts at the next call. The program calls these on its
// user-interface thread only; an instance holds only constants, but two writes to the
// same file must not overlap.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace kalvira {

class TSettingsFiles {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  // `program_dir` ends with "/" (ProgramDir()). `clock` gives the time of log entries;
  // the system clock when empty.
  explicit TSettingsFiles(std::string program_dir, Clock clock = {});

  // Every write below throws ProfileWriteError ("Unable to write to <path>") when the
  // system refuses it, leaving the file as it was; nothing here catches it. Reads never
  // fail: a missing file, section or key reads as empty text (or 0 votes).

  // A key of section ZAMRACONFIG of config.ini, or empty text.
  std::string ReadConfigValue(std::string_view key) const;
  void WriteConfigValue(std::string_view key, std::string_view value) const;

  // One entry in section ERRORLOG of config.ini: the key is the local date and time
  // ("08.12.2009 - 14:03:27"), the value `message`. A second entry within the same second
  // replaces the first. Shows nothing to the user.
  void LogError(std::string_view message) const;

  // The station code that GENRES of config.ini gives `genre` (any letter case), or empty.
  std::string ReadGenreStation(std::string_view genre) const;

  // Adds 1 to, or takes 1 from, RAIT in the section named `path` of sraiting.ini. A
  // missing or non-numeric value counts as 0; see ParseRating.
  void VoteFor(std::string_view path) const;
  void VoteAgainst(std::string_view path) const;

  const std::string& ConfigPath() const { return config_path_; }
  const std::string& RatingPath() const { return rating_path_; }

 private:
  void AddVote(std::string_view path, long long delta) const;

  // Constant after construction.
  const std::string config_path_;
  const std::string rating_path_;
  const Clock clock_;
};

// The log key of a moment, in local time: "dd.mm.yyyy - H:mm:ss".
std::string LogErrorKey(std::chrono::system_clock::time_point when);

// A stored RAIT value as a number: the whole text (the format's trimming and quote
// removal already done) must be an optional "+" or "-" followed by decimal digits and
// fit 64 bits; anything else ("", "12abc", "1.5", "0x10", " - 3") is 0.
long long ParseRating(std::string_view text);

}  // namespace kalvira
