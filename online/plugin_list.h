// The plug-in list of the personal cabinet: the rows of ut_plugins as the list shows
// them. Installing means handing an item's link to the shell; nothing is downloaded here.
//
// Threads: the user-interface thread only (the statement blocks it).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalvira {

class TMyQuery;

struct PluginItem {
  std::string name;     // the item's caption
  std::string size;     // "Размер": the size column followed by " Kb"
  std::string version;  // "Версия"
  std::string link;     // kept with the item, not shown
};

inline constexpr std::string_view kPluginSizeUnit = " Kb";

// Runs "select * from ut_plugins" on `dnvjhe` and returns its rows in the server's
// order, every value read as text. Nothing is caught: a failed statement or a missing
// column throws (the caller's general error report shows it).
std::vector<PluginItem> LoadPluginList(TMyQuery& dnvjhe);

}  // namespace kalvira
