// The folder part of a path, as the current-file window opens it: the last component cut
// off, without a trailing "/" except for the root itself ("/music/rock/a.mp3" gives
// "/music/rock", "/a.mp3" gives "/"), and empty when the path has no folder part.
#pragma once

#include <string>
#include <string_view>

namespace kalvira {

inline std::string FolderOfPath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  std::string_view folder = path.substr(0, slash + 1);
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  return std::string(folder);
}

}  // namespace kalvira
