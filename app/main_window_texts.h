// Every text of the main window that is not in its layout file (main_window.ui), in one
// place: captions that the start sequence may replace, the menus, the tray hint, the site
// and the log entry of a skin that cannot be loaded.
#pragma once

#include <array>
#include <string_view>

namespace kalvira::main_texts {

inline constexpr std::string_view kApplicationTitle = "Kalvira";
inline constexpr std::string_view kCaption = "Kalvira 5";
inline constexpr std::string_view kSenderCaption = "Интеллектуальное радио";
inline constexpr std::string_view kTrayHint = "Дважды_мышкой_щелкни";
inline constexpr std::string_view kSkinFailed = "Не возможно открыть шаблон программы.";

// Label1: "Сайт программы " and the address it opens.
inline constexpr std::string_view kSiteLabel = "Сайт программы ";
inline constexpr std::string_view kSiteAddress = "https://kalvira.example.org";

// A station menu item: Радио "<word>".
inline constexpr std::string_view kStationItemBefore = "Радио \"";
inline constexpr std::string_view kStationItemAfter = "\"";

// The vote menu.
inline constexpr std::string_view kVoteForItem = "ЗА";
inline constexpr std::string_view kVoteAgainstItem = "ПРОТИВ";
inline constexpr int kVoteForPicture = 8;
inline constexpr int kVoteAgainstPicture = 10;

// Opacity under AlphaBlend "1": over the window, and after the mouse has left it.
inline constexpr int kOpaque = 255;
inline constexpr int kFaded = 122;

}  // namespace kalvira::main_texts
