#include "platform/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <stdexcept>

#include "platform/file_io.h"
#include "platform/profile_format.h"

namespace kalvira {

ProfileWriteError::ProfileWriteError(const std::string& path)
    : Exception("Unable to write to " + path) {}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key) {
  std::string content;
  if (ReadWholeFile(path, content, nullptr) != ReadResult::kRead) return {};
  return profile_detail::LookupValue(content, section, key);
}

void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  const std::string target = ResolveWriteTarget(path);
  std::string content;
  struct stat info {};
  std::optional<struct stat> old;
  switch (ReadWholeFile(target, content, &info)) {
    case ReadResult::kRead:
      old = info;
      // The platform refuses a read-only file; the rename alone would not notice.
      if (::access(target.c_str(), W_OK) != 0) throw ProfileWriteError(path);
      break;
    case ReadResult::kMissing:
      break;
    case ReadResult::kFailed:
      // Writing without the old content would lose it.
      throw ProfileWriteError(path);
  }
  std::string updated;
  try {
    updated = profile_detail::UpdateValue(content, section, key, value);
  } catch (const std::invalid_argument&) {
    throw ProfileWriteError(path);
  }
  if (!ReplaceFile(target, updated, old)) throw ProfileWriteError(path);
}

}  // namespace kalvira
