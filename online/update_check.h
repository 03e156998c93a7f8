// The update check of the start sequence: asks the service for the newest version of
// product line 0 and, when it is newer than this build, tells the listener, offers the
// download page and ends the process, whatever the answer.
//
// Threads: the user-interface thread only (the statement and the box block it).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/desktop_services.h"

namespace kalvira {

class TServiceDatabase;
class TSettingsFiles;

// This build: major 5, minor 0, build 091215.
inline constexpr std::int64_t kProgramVersionNumber = 50091215;

// "5.0 BUILD 091215" from "50091215": the first digit, ".", the second, " BUILD " and the
// rest. Shorter texts give what they have.
std::string VersionText(std::string_view digits);

// The announcement, LF CR breaking its lines.
std::string UpdateMessage(std::string_view current_version_text,
                          std::string_view available_version_text);

// Runs the check. Returns true when it ended the process (`terminate` was called with 0
// and, in the program, never returns); false when the start sequence goes on: no newer
// version, or a failure, which is logged (a failed statement with two entries) and shown
// to no one. A version that does not fit 32 bits still compares by its value.
bool CheckForProgramUpdate(TServiceDatabase& db, const TSettingsFiles& settings, IMessageBox& box,
                           IShell& shell, const std::function<void(int)>& terminate);

}  // namespace kalvira
