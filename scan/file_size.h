// FileSizeOf, the scan's cheap size test, asked before any tag is read.
//
// Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace kalvira {

// The size of the file at `path`, opened for reading and closed again, as its low 32 bits
// taken as a signed number (so a file of 3 GB gives a negative number, one of 4 GB and
// 100 bytes gives 100). -1 when the file cannot be opened that way: missing, no
// permission, or not a regular file (a folder, a pipe or a device is never opened for
// real, so the test never blocks).
std::int32_t FileSizeOf(const std::string& path);

}  // namespace kalvira
