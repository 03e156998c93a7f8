#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <filesystem>
#include <random>

namespace kalvira {

namespace {

// Closes a descriptor on every way out.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded (a late write error shows here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

ReadResult ReadWholeFile(const std::string& path, std::string& out, struct stat* info) {
  out.clear();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::kFailed;
  if (info != nullptr) *info = st;
  // The size is only a hint: the file may change while it is read. One byte more than
  // it says lets a single read show the end, since a regular file reads short only there.
  out.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t used = 0;
  for (;;) {
    const std::size_t wanted = out.size() - used;
    const ssize_t n = ::read(fd.get(), out.data() + used, wanted);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadResult::kFailed;
    }
    used += static_cast<std::size_t>(n);
    if (static_cast<std::size_t>(n) < wanted) break;
    out.resize(out.size() * 2);  // the file grew
  }
  out.resize(used);
  return ReadResult::kRead;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Temporaries are named ".<base>.tmp-<pid>-<counter>-<random>" in the target's folder.
// While its writer lives, a temporary is held under an exclusive flock (on the open
// file, so it ends with the writer however it ends); that is how the next writer tells
// a dead writer's leftovers from a write in progress.
std::string TempPrefix(const std::string& base) {
  return "." + base + ".tmp-";
}

std::string TempName(const std::string& base) {
  static std::atomic<unsigned> counter{0};
  thread_local std::minstd_rand random(std::random_device{}());
  return TempPrefix(base) + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1)) + "-" + std::to_string(random());
}

// The writer's process number in a temporary's name (after the prefix), or -1.
pid_t WriterOf(std::string_view rest) {
  pid_t pid = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
  if (ec != std::errc() || end == rest.data() || pid <= 0) return -1;
  if (end == rest.data() + rest.size() || *end != '-') return -1;
  return pid;
}

bool ProcessIsGone(pid_t pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes the temporaries of `base` in `dir` whose writers died before they were done.
// One is a dead writer's when nobody holds its lock and the process in its name has
// ended, or is this process (its number from an earlier life: this process's own
// writes in progress hold their locks). A live process whose temporary is not locked
// yet keeps it.
void RemoveDeadTemporaries(const std::string& dir, const std::string& base) {
  const std::string prefix = TempPrefix(base);
  DIR* folder = ::opendir(dir.empty() ? "." : dir.c_str());
  if (folder == nullptr) return;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name(entry->d_name);
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const pid_t writer = WriterOf(name.substr(prefix.size()));
    if (writer < 0) continue;
    const std::string path = dir + std::string(name);
    Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat held {};
    if (fd.get() < 0 || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;  // a write in progress
    if (writer != self && !ProcessIsGone(writer)) continue;
    // Unlink only the file that was checked, not one that took its name meanwhile.
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      ::unlink(path.c_str());
    }
  }
  ::closedir(folder);
}

// An unnamed temporary in `dir`, locked, with the usual permissions for a new file
// (0666 less the umask); -1 where the filesystem has no unnamed files.
int CreateUnnamedTemp(const std::string& dir) {
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Gives a complete unnamed temporary its name in the folder.
bool NameUnnamedTemp(int fd, const std::string& temp_path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return true;
  }
  // Without /proc; needs the privilege to link by descriptor.
  return ::linkat(fd, "", AT_FDCWD, temp_path.c_str(), AT_EMPTY_PATH) == 0;
}

// A named temporary in `dir` that nobody else uses, locked, with the usual permissions
// for a new file. Returns -1 when the folder refuses it.
int CreateNamedTemp(const std::string& dir, const std::string& base, std::string& temp_path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = dir + TempName(base);
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd >= 0 && ::flock(fd, LOCK_EX) != 0) {
      ::unlink(temp_path.c_str());
      ::close(fd);
      return -1;
    }
    return fd;
  }
  return -1;
}

// Gives the temporary the old file's owner and permissions, and `bytes`, durably.
bool FillTemp(int fd, std::string_view bytes, const std::optional<struct stat>& old) {
  if (old) {
    // Root may hand the file back to its owner; anyone else keeps it as theirs.
    if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
      [[maybe_unused]] const int ignored = ::fchown(fd, old->st_uid, old->st_gid);
    }
    if (::fchmod(fd, old->st_mode & 07777) != 0) return false;
  }
  return WriteAll(fd, bytes) && ::fsync(fd) == 0;
}

// Renames the complete temporary over the target. The lock on `fd` is held until the
// target has its new content, so no sweep takes the temporary for a dead writer's.
bool PutInPlace(Fd& fd, const std::string& temp, const std::string& target) {
  // The duplicate keeps the open file, and so the lock, while the close reports a late
  // write error.
  Fd lock(::dup(fd.get()));
  if (lock.get() < 0 || !fd.Close()) return false;
  return ::rename(temp.c_str(), target.c_str()) == 0;
}

}  // namespace

bool ReplaceFile(const std::string& target, std::string_view bytes,
                 const std::optional<struct stat>& old, TempNaming naming) {
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  RemoveDeadTemporaries(dir, base);

  std::string temp;
  bool placed = false;
  bool linked = false;
  if (naming == TempNaming::kUnnamedWhereSupported) {
    // A writer that dies before the link leaves nothing behind at all.
    Fd fd(CreateUnnamedTemp(dir));
    if (fd.get() >= 0) {
      if (!FillTemp(fd.get(), bytes, old)) return false;
      temp = dir + TempName(base);
      linked = NameUnnamedTemp(fd.get(), temp);
      placed = linked && PutInPlace(fd, temp, target);
      if (linked && !placed) {
        ::unlink(temp.c_str());
        return false;
      }
      // Not linked: the folder has unnamed files but cannot name them here (no /proc
      // and no privilege to link by descriptor); write a named temporary instead.
    }
  }
  if (!placed) {
    Fd fd(CreateNamedTemp(dir, base, temp));
    if (fd.get() < 0) return false;
    if (!FillTemp(fd.get(), bytes, old) || !PutInPlace(fd, temp, target)) {
      ::unlink(temp.c_str());
      return false;
    }
  }
  // Make the rename itself durable; the file is already complete either way.
  Fd dir_fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir_fd.get() >= 0) ::fsync(dir_fd.get());
  return true;
}

std::string ResolveWriteTarget(const std::string& path) {
  std::filesystem::path current(path);
  for (int depth = 0; depth < 40; ++depth) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(current, ec)) return current.string();
    const auto target = std::filesystem::read_symlink(current, ec);
    if (ec) break;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return path;
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes, TempNaming naming) {
  const std::string target = ResolveWriteTarget(path);
  std::string ignored;
  struct stat info {};
  std::optional<struct stat> old;
  switch (ReadWholeFile(target, ignored, &info)) {
    case ReadResult::kRead:
      old = info;
      if (::access(target.c_str(), W_OK) != 0) return false;
      break;
    case ReadResult::kMissing:
      break;
    case ReadResult::kFailed:
      return false;
  }
  return ReplaceFile(target, bytes, old, naming);
}

}  // namespace kalvira
