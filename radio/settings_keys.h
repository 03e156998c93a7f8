// The names in the program's two settings files, in one place: file names, sections,
// keys and the genre station codes of the GENRES table. Constants only.
#pragma once

#include <string_view>

namespace kalvira::settings {

// Files beside the executable (ProgramDir() + name).
inline constexpr std::string_view kConfigFile = "config.ini";
inline constexpr std::string_view kRatingFile = "sraiting.ini";

// config.ini sections.
inline constexpr std::string_view kConfigSection = "ZAMRACONFIG";  // the settings
inline constexpr std::string_view kGenresSection = "GENRES";       // genre tag -> station
inline constexpr std::string_view kErrorLogSection = "ERRORLOG";   // "date - time" -> message

// Keys of ZAMRACONFIG. Every value is text; a missing key reads as empty text and the
// program never writes defaults. "1" (exactly, after trimming) is "on".
inline constexpr std::string_view kSkin = "SKIN";                      // skin file path
inline constexpr std::string_view kFormCaption = "FormCaption";        // main window caption
inline constexpr std::string_view kSenderCaption = "SenderCaption";    // group box caption
inline constexpr std::string_view kStartJingle = "sfx_w1";             // file in templates/
inline constexpr std::string_view kBackgroundLogo = "BackgroundLogo";  // picture path
inline constexpr std::string_view kCheckForUpdate = "CheckForUpdate";  // "1": check at start
inline constexpr std::string_view kOnlineChat = "OnlineChat";          // "1": chat feed on
inline constexpr std::string_view kAlphaBlend = "AlphaBlend";          // "1": fade on leave
inline constexpr std::string_view kFirstLoaded = "FirstLoaded";        // "0" after first scan
inline constexpr std::string_view kUserName = "zmsUserName";           // login e-mail
inline constexpr std::string_view kPassword = "zmsPassword";           // encrypted password
inline constexpr std::string_view kOn = "1";

// The only values of GENRES that put a file into a genre station; compared exactly.
inline constexpr std::string_view kGenreElectro = "ELECTRO";
inline constexpr std::string_view kGenreUltra = "ULTRA";
inline constexpr std::string_view kGenrePop = "POP";
inline constexpr std::string_view kGenreClassic = "CLASSIC";

// The one key of a track's section in sraiting.ini: votes for minus votes against.
inline constexpr std::string_view kRatingKey = "RAIT";

// The error log key: short date, " - ", long time, in the Russian system formats
// (dd.MM.yyyy and H:mm:ss, so the hour has no leading zero: "02.01.2026 - 3:04:05").
// Arguments: day, month, year, hour, minute, second.
inline constexpr const char* kLogKeyFormat = "%02d.%02d.%04d - %d:%02d:%02d";

}  // namespace kalvira::settings
