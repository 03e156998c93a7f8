#include "scan/file_size.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvira {

std::int32_t FileSizeOf(const std::string& path) {
  if (path.find('\0') != std::string::npos) return -1;
  // O_NONBLOCK: a pipe named *.mp3 would otherwise hold the open until a writer comes.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  if (!regular) return -1;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(info.st_size & 0xFFFFFFFF));
}

}  // namespace kalvira
