#include "platform/program_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef KALVIRA_SHARE_FROM_BIN
#define KALVIRA_SHARE_FROM_BIN "../share/kalvira"
#endif

namespace kalvira {

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

ProgramDirPlace ProgramDirOf(const ProgramDirFacts& facts) {
  if (!facts.override_dir.empty()) return {WithSlash(facts.override_dir), {}};
  if (facts.share_dir.empty()) return {WithSlash(facts.exe_dir), {}};
  // A relative XDG_DATA_HOME is invalid and is ignored, as the base directory rules say.
  std::string data_home = facts.data_home;
  if (data_home.empty() || data_home.front() != '/') {
    data_home = WithSlash(facts.home.empty() ? "/" : facts.home) + ".local/share";
  }
  return {WithSlash(data_home) + "kalvira/", WithSlash(facts.share_dir)};
}

ProgramDirFacts CurrentProgramDirFacts() {
  ProgramDirFacts facts;
  facts.override_dir = Env(kProgramDirVariable);
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && exe.has_parent_path()) {
    facts.exe_dir = exe.parent_path().string();
    const fs::path share = (exe.parent_path() / KALVIRA_SHARE_FROM_BIN).lexically_normal();
    if (fs::is_regular_file(share / "config.ini", ec)) facts.share_dir = share.string();
  } else {
    facts.exe_dir = fs::current_path(ec).string();
  }
  facts.data_home = Env("XDG_DATA_HOME");
  facts.home = Env("HOME");
  return facts;
}

std::string ProgramDir() {
  return ProgramDirOf(CurrentProgramDirFacts()).dir;
}

bool SeedProgramDir(const std::string& from, const std::string& dir, std::string* error) {
  std::error_code ec;
  fs::path target = fs::path(dir);
  if (!target.has_filename()) target = target.parent_path();
  if (fs::exists(fs::symlink_status(target, ec))) return true;
  fs::create_directories(target.parent_path(), ec);
  if (ec) {
    *error = "cannot create " + target.parent_path().string() + ": " + ec.message();
    return false;
  }
  const fs::path staging = target.parent_path() /
                           (target.filename().string() + ".seeding-" + std::to_string(::getpid()));
  fs::remove_all(staging, ec);
  fs::copy(from, staging, fs::copy_options::recursive, ec);
  if (!ec) fs::rename(staging, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    // Another copy of the program seeding at the same moment got there first.
    if (fs::is_directory(target, ignored)) return true;
    *error = "cannot seed " + target.string() + " from " + from + ": " + ec.message();
    return false;
  }
  return true;
}

bool EnterProgramDir(std::string* error) {
  const ProgramDirPlace place = ProgramDirOf(CurrentProgramDirFacts());
  if (!place.seed_from.empty() && !SeedProgramDir(place.seed_from, place.dir, error)) return false;
  if (::chdir(place.dir.c_str()) != 0) {
    *error = "cannot enter " + place.dir;
    return false;
  }
  return true;
}

}  // namespace kalvira
