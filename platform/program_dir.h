// The folder every file the program owns lives in: the folder of the running executable,
// or the folder named by KALVIRA_PROGRAM_DIR (tests, portable installs).
//
// Reads the environment and /proc at every call and keeps no state; any thread may call
// it, as long as nobody changes the environment at the same time.
#pragma once

#include <string>

namespace kalvira {

inline constexpr const char* kProgramDirVariable = "KALVIRA_PROGRAM_DIR";

// The folder with a trailing "/", so that a file of the program is ProgramDir() + name.
// A non-empty KALVIRA_PROGRAM_DIR wins, a "/" added when it lacks one. Otherwise the
// folder of /proc/self/exe; should that link be unreadable (no /proc), the current
// folder.
std::string ProgramDir();

}  // namespace kalvira
