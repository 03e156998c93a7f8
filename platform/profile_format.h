// The profile format on bytes in memory: one lookup and one update, with no file access.
// Internal to platform/ (and its tests and fuzzer); everyone else uses profile.h, whose
// comment describes the format.
//
// Pure functions; any thread.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kalvira::profile_detail {

// The value of `key` in `section` of the file whose whole content is `file` (names and
// result in UTF-8), or empty.
std::string LookupValue(std::string_view file, std::string_view section, std::string_view key);

// The file's content after setting `key` of `section` to `value`. `file` may be empty
// (a file that does not exist yet). Throws std::invalid_argument when `key` cannot be
// stored.
std::string UpdateValue(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace kalvira::profile_detail
