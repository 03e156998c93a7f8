#include "platform/program_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kalvira {

std::string ProgramDir() {
  std::string dir;
  if (const char* env = std::getenv(kProgramDirVariable); env != nullptr && *env != '\0') {
    dir = env;
  } else {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path()) {
      dir = exe.parent_path().string();
    } else {
      dir = std::filesystem::current_path(ec).string();
    }
  }
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace kalvira
