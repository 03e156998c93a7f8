#include "platform/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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

// A temporary file in `dir` that nobody else uses, created with the usual permissions
// for a new file (0666 less the umask). Returns -1 when the folder refuses it.
int CreateTempFile(const std::string& dir, const std::string& base, std::string& temp_path) {
  static std::atomic<unsigned> counter{0};
  thread_local std::minstd_rand random(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = dir + "." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
                std::to_string(counter.fetch_add(1)) + "-" + std::to_string(random());
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool ReplaceFile(const std::string& target, std::string_view bytes,
                 const std::optional<struct stat>& old) {
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp;
  Fd fd(CreateTempFile(dir, base, temp));
  if (fd.get() < 0) return false;
  bool ok = true;
  if (old) {
    // Root may hand the file back to its owner; anyone else keeps it as theirs.
    if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
      [[maybe_unused]] const int ignored = ::fchown(fd.get(), old->st_uid, old->st_gid);
    }
    ok = ::fchmod(fd.get(), old->st_mode & 07777) == 0;
  }
  ok = ok && WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
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

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
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
  return ReplaceFile(target, bytes, old);
}

}  // namespace kalvira
