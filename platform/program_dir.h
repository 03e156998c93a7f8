// The folder every file the program owns lives in (ProgramDir), and the program's start
// in it (EnterProgramDir).
//
//   KALVIRA_PROGRAM_DIR set      that folder (tests, portable installs); nothing seeded
//   installed program            $XDG_DATA_HOME/kalvira (~/.local/share/kalvira), since
//                                an installed program cannot write beside itself; seeded
//                                from the shipped files on its first start
//   anything else (a build tree) the folder of the executable
//
// The program counts as installed when its executable's folder has the shipped folder
// (share/kalvira, KALVIRA_SHARE_FROM_BIN relative to bin/) with a config.ini in it.
//
// ProgramDir reads the environment and the file system at every call and keeps no state;
// any thread may call it, as long as nobody changes the environment at the same time.
// EnterProgramDir is for the main routine, before any window exists.
#pragma once

#include <string>

namespace kalvira {

inline constexpr const char* kProgramDirVariable = "KALVIRA_PROGRAM_DIR";

// The facts ProgramDir decides on; ProgramDirOf is the decision, so that tests can give
// any of them.
struct ProgramDirFacts {
  std::string override_dir;  // KALVIRA_PROGRAM_DIR; empty when unset
  std::string exe_dir;       // folder of the executable, no trailing "/" needed
  std::string share_dir;     // the shipped folder of an installation; empty when none
  std::string data_home;     // XDG_DATA_HOME; empty when unset
  std::string home;          // HOME
};

// Where things are: the program folder with a trailing "/", and the shipped folder to
// seed it from (empty when the folder is not seeded).
struct ProgramDirPlace {
  std::string dir;
  std::string seed_from;
};

ProgramDirPlace ProgramDirOf(const ProgramDirFacts& facts);

// The facts of this process: the environment, /proc/self/exe (the current folder when it
// cannot be read), and the shipped folder beside it when it holds a config.ini.
ProgramDirFacts CurrentProgramDirFacts();

// The folder with a trailing "/", so that a file of the program is ProgramDir() + name.
std::string ProgramDir();

// Gives `dir` the shipped files of `from` when `dir` does not exist yet: the copy is
// made in a new folder beside it and renamed into place, so an interrupted first start
// leaves no half-seeded folder. An existing folder is never touched, whatever it holds:
// what the listener changed or removed stays so. Returns false (with `error`) when the
// folder cannot be made.
bool SeedProgramDir(const std::string& from, const std::string& dir, std::string* error);

// The program's start: seeds the folder where needed and makes it the current folder, so
// that relative paths in config.ini resolve there. Returns false with `error` when the
// folder cannot be made or entered; the program may go on, it only cannot keep files.
bool EnterProgramDir(std::string* error);

}  // namespace kalvira
