// The program's identity on the desktop: the id of its desktop entry, AppStream component
// and icon (the installed files are named after it, see the top-level CMakeLists.txt).
#pragma once

namespace kalvira::desktop {

inline constexpr const char* kDesktopEntryId = "org.example.kalvira.Kalvira";

}  // namespace kalvira::desktop
