// The profile layer on real files: reads never create anything, writes replace the file
// atomically, and every write the system refuses leaves the old file as it was.
#include "platform/profile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "tests/support/test_support.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;
using testing::Listing;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// What a write reports: "ok" or the message of the error it raised.
std::string Outcome(const std::function<void()>& write) {
  try {
    write();
    return "ok";
  } catch (const ProfileWriteError& e) {
    return e.what();
  }
}

struct ChildOptions {
  bool as_nobody = false;    // drop root to the user "nobody" first
  rlim_t max_file_size = 0;  // RLIM_INFINITY when 0
};

// Runs `write` in a child process and returns its Outcome. Tests run as root, where
// permission bits do not stop a write; a child that has given up root meets them as a
// user would. A file size limit makes the system refuse to write past it (EFBIG), as a
// full disk would.
std::string OutcomeInChild(const ChildOptions& options, const std::function<void()>& write) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    bool ready = true;
    if (options.max_file_size != 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{options.max_file_size, options.max_file_size};
      ready = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    if (options.as_nobody && ::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      ready = ready && nobody != nullptr && ::setgid(nobody->pw_gid) == 0 &&
              ::setuid(nobody->pw_uid) == 0;
    }
    const std::string result = ready ? Outcome(write) : "child set-up failed";
    [[maybe_unused]] const ssize_t n = ::write(fds[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string result;
  char buf[512];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) result.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return result;
}

bool IsRoot() {
  return ::geteuid() == 0;
}

TEST(ProfileFile, ReadingAMissingFileCreatesNothing) {
  TempDir dir;
  EXPECT_EQ(ReadProfileString(dir.File("config.ini"), "S", "k"), "");
  EXPECT_EQ(ReadProfileString(dir.File("none/config.ini"), "S", "k"), "");
  EXPECT_TRUE(Listing(dir.path()).empty());
  // A folder where the file should be reads as empty too.
  fs::create_directory(dir.path() / "folder.ini");
  EXPECT_EQ(ReadProfileString(dir.File("folder.ini"), "S", "k"), "");
}

TEST(ProfileFile, WritesCreateTheFileThenEditIt) {
  TempDir dir;
  const std::string path = dir.File("Папка config.ini");
  WriteProfileString(path, "ZAMRACONFIG", "FormCaption", "Радио");
  WriteProfileString(path, "ERRORLOG", "01.02.2003 - 4:05:06", "first");
  WriteProfileString(path, "zamraconfig", "OnlineChat", "1");
  WriteProfileString(path, "ZAMRACONFIG", "formcaption", "Kalvira");
  EXPECT_EQ(ReadFileBytes(path),
            "[ZAMRACONFIG]\r\nFormCaption=Kalvira\r\nOnlineChat=1\r\n"
            "[ERRORLOG]\r\n01.02.2003 - 4:05:06=first\r\n");
  EXPECT_EQ(ReadProfileString(path, "ZAMRACONFIG", "FORMCAPTION"), "Kalvira");
  EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"Папка config.ini"});
}

TEST(ProfileFile, ReplacesTheFileWholeAndKeepsItsMetadata) {
  TempDir dir;
  const std::string path = dir.File("config.ini");
  WriteFileBytes(path, "[S]\nk=old\n");
  ::chmod(path.c_str(), 0640);
  if (IsRoot()) {
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  // A reader that opened the file before the write keeps seeing the old file whole: the
  // write made a new file and renamed it over the old one, it did not rewrite in place.
  const int reader = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);

  for (int i = 0; i < 20; ++i) WriteProfileString(path, "S", "k" + std::to_string(i), "v");
  WriteProfileString(path, "S", "k", "new");

  char buf[64] = {};
  EXPECT_EQ(::pread(reader, buf, sizeof buf, 0), 10);
  EXPECT_STREQ(buf, "[S]\nk=old\n");
  ::close(reader);
  EXPECT_EQ(ReadProfileString(path, "S", "k"), "new");
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"config.ini"});  // no temporary files
}

TEST(ProfileFile, NewFilesGetTheUsualPermissions) {
  TempDir dir;
  const mode_t mask = ::umask(022);
  WriteProfileString(dir.File("config.ini"), "S", "k", "v");
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("config.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(ProfileFile, FollowsASymbolicLink) {
  TempDir dir;
  fs::create_directory(dir.path() / "real");
  WriteFileBytes(dir.path() / "real" / "config.ini", "[S]\r\nk=1\r\n");
  fs::create_symlink("real/config.ini", dir.path() / "config.ini");
  WriteProfileString(dir.File("config.ini"), "S", "k", "2");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "config.ini"));
  EXPECT_EQ(ReadFileBytes(dir.path() / "real" / "config.ini"), "[S]\r\nk=2\r\n");
  EXPECT_EQ(Listing(dir.path() / "real"), std::set<std::string>{"config.ini"});

  // A link loop is refused, not followed forever.
  fs::create_symlink("loop2", dir.path() / "loop1");
  fs::create_symlink("loop1", dir.path() / "loop2");
  EXPECT_EQ(Outcome([&] { WriteProfileString(dir.File("loop1"), "S", "k", "v"); }),
            "Unable to write to " + dir.File("loop1"));
  EXPECT_EQ(ReadProfileString(dir.File("loop1"), "S", "k"), "");
}

// Each case sets up a folder `d` holding config.ini (unless `content` is null), then
// writes as the given child; the write must be refused and change nothing.
struct RefusalCase {
  const char* what;
  bool needs_root;  // the refusal needs a second user
  ChildOptions child;
  mode_t folder_mode;
  mode_t file_mode;
};

TEST(ProfileFile, RefusedWritesLeaveEverythingAsItWas) {
  const RefusalCase cases[] = {
      // Without root the file's own "w" bit decides; with root the child is "nobody".
      {"read-only file", false, {.as_nobody = true}, 0777, 0444},
      // No temporary file can be made, so the file cannot be replaced even if writable.
      {"read-only folder", false, {.as_nobody = true}, 0555, 0666},
      // A file we may write but not read would lose its content.
      {"unreadable file", false, {.as_nobody = true}, 0777, 0222},
      // The sticky folder lets "nobody" create the temporary file but not rename it over
      // a file of root: the rename fails after the temporary file is complete.
      {"rename refused", true, {.as_nobody = true}, 01777, 0666},
      // The system stops the temporary file at 40 bytes, as a full disk would.
      {"disk full", false, {.max_file_size = 40}, 0755, 0644},
  };
  const std::string old_content = "; keep\r\n[S]\r\nk=old\r\nj=2\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needs_root && !IsRoot()) continue;
    TempDir dir;
    const fs::path folder = dir.path() / "d";
    fs::create_directory(folder);
    const std::string path = (folder / "config.ini").string();
    WriteFileBytes(path, old_content);
    ASSERT_EQ(::chmod(path.c_str(), c.file_mode), 0);
    ASSERT_EQ(::chmod(folder.c_str(), c.folder_mode), 0);

    const std::string outcome = OutcomeInChild(c.child, [&] {
      WriteProfileString(path, "S", "k", "a value long enough to pass the limit");
    });
    EXPECT_EQ(outcome, "Unable to write to " + path);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(ReadFileBytes(path), old_content);
    EXPECT_EQ(Listing(folder), std::set<std::string>{"config.ini"});
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.file_mode);
  }
}

TEST(ProfileFile, RefusedWhereNoFileCanBe) {
  TempDir dir;
  WriteFileBytes(dir.path() / "plain", "not a folder");
  fs::create_directory(dir.path() / "folder.ini");
  WriteFileBytes(dir.path() / "folder.ini" / "inside", "x");
  const std::string paths[] = {
      dir.File("plain/config.ini"),    // the parent is a regular file (ENOTDIR, even root)
      dir.File("missing/config.ini"),  // the folder does not exist
      dir.File("folder.ini"),          // a folder stands where the file should be
  };
  for (const auto& path : paths) {
    EXPECT_EQ(Outcome([&] { WriteProfileString(path, "S", "k", "v"); }),
              "Unable to write to " + path);
  }
  EXPECT_EQ(ReadFileBytes(dir.path() / "plain"), "not a folder");
  EXPECT_EQ(Listing(dir.path() / "folder.ini"), std::set<std::string>{"inside"});
  EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"folder.ini", "plain"}));
}

TEST(ProfileFile, KeysThatCannotBeStoredAreRefused) {
  TempDir dir;
  const std::string path = dir.File("config.ini");
  WriteFileBytes(path, "[S]\r\n");
  EXPECT_EQ(Outcome([&] { WriteProfileString(path, "S", "a=b", "v"); }),
            "Unable to write to " + path);
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\n");
}

}  // namespace
}  // namespace kalvira
