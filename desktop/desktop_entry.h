// The program's identity on the desktop: the id of its desktop entry, AppStream component
// and icon; the installed files are named after it (KALVIRA_APP_ID,
// cmake/KalviraInstall.cmake).
#pragma once

namespace kalvira::desktop {

inline constexpr const char* kDesktopEntryId = KALVIRA_APP_ID;

}  // namespace kalvira::desktop
