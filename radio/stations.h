// The five stations of the radio: their codes, menu words, list files and the GENRES
// value that feeds each. A station is nothing but its list file in the program folder.
// Constants only.
#pragma once

#include <array>
#include <string_view>

namespace kalvira {

struct StationInfo {
  std::string_view code;         // CurrentStation's value, compared exactly
  std::string_view menu_item;    // the station menu item's component name
  std::string_view menu_word;    // the word in the menu caption: Радио "<word>"
  std::string_view list_file;    // the name PlayRandomTrack reads
  std::string_view scan_file;    // the name the scan tests for and writes
  std::string_view genre_value;  // the GENRES value whose files join it; empty: every file
  std::string_view log_word;  // the word in "Отсутствует лист радио для станции <word>"
};

namespace stations {
inline constexpr std::string_view kEnergy = "ENERGY";
inline constexpr std::string_view kUltra = "ULTRA";
inline constexpr std::string_view kPop = "POP";
inline constexpr std::string_view kAllFm = "ALLFM";
inline constexpr std::string_view kClassic = "CLASSIC";
}  // namespace stations

// In menu order. The station coded ENERGY is fed by ELECTRO and kept in relectro.lfm. The
// classic list is read as rclassic.lfm and written as rClassic.lfm: one file, since list
// file names are matched without regard to letter case (ListFilePath in list_file.h).
inline constexpr std::array<StationInfo, 5> kStations = {{
    {stations::kEnergy, "N1", "Электро", "relectro.lfm", "relectro.lfm", "ELECTRO", "ENERGY"},
    {stations::kUltra, "N2", "Ультра", "rultra.lfm", "rultra.lfm", "ULTRA", "ULTRA"},
    {stations::kPop, "N3", "Поп", "rpop.lfm", "rpop.lfm", "POP", "POP"},
    {stations::kAllFm, "N4", "ВсеФМ", "rallfm.lfm", "rallfm.lfm", "", "AllFM"},
    {stations::kClassic, "N9", "Классик", "rclassic.lfm", "rClassic.lfm", "CLASSIC", "CLASSIC"},
}};

// The order PlayRandomTrack tests the codes in.
inline constexpr std::array<std::string_view, 5> kStationTestOrder = {
    stations::kAllFm, stations::kPop, stations::kClassic, stations::kUltra, stations::kEnergy};

// The station of `code`, or nullptr for an unknown code.
constexpr const StationInfo* FindStation(std::string_view code) {
  for (const StationInfo& station : kStations) {
    if (station.code == code) return &station;
  }
  return nullptr;
}

}  // namespace kalvira
