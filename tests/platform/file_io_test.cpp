// Whole-file replaces against writers that die: a writer killed at any moment leaves the
// file whole, and whatever temporary it left is gone after the next write of that file.
#include "platform/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "platform/profile.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;
using testing::Listing;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// 40 KB of one version: the writes under test are as large as a grown config.ini.
std::string Version(int number) {
  std::string text = "[ZAMRACONFIG]\r\nVersion=" + std::to_string(number) + "\r\n";
  text.resize(40 * 1024, static_cast<char>('a' + number % 26));
  return text;
}

// The version a file holds, or -1 when it is not one whole version.
int VersionOf(const std::string& text) {
  for (int number = 0; number < 100000; ++number) {
    const std::string prefix = "[ZAMRACONFIG]\r\nVersion=" + std::to_string(number) + "\r\n";
    if (text.compare(0, prefix.size(), prefix) == 0) return text == Version(number) ? number : -1;
  }
  return -1;
}

// Starts a child that runs `prepare`, reports back, and then waits to be killed.
template <typename Prepare>
pid_t StartSleeper(Prepare prepare) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]);
    prepare();
    [[maybe_unused]] const ssize_t w = ::write(ready[1], "r", 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char c;
  [[maybe_unused]] const ssize_t r = ::read(ready[0], &c, 1);
  ::close(ready[0]);
  return pid;
}

void Kill(pid_t pid) {
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

// The number of a process that has ended and been reaped.
pid_t DeadPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

TEST(FileIo, AWriterKilledAtAnyMomentLeavesNoLitterAfterTheNextWrite) {
  const struct {
    const char* what;
    TempNaming naming;
  } cases[] = {
      {"unnamed temporaries where the folder allows", TempNaming::kUnnamedWhereSupported},
      {"named temporaries", TempNaming::kNamed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string config = dir.File("config.ini");
    WriteFileBytes(config, Version(0));
    std::mt19937 random(std::random_device{}());
    int litter_seen = 0;
    for (int kill = 0; kill < 60; ++kill) {
      int done[2];
      ASSERT_EQ(::pipe(done), 0);
      const pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        ::close(done[0]);
        for (int version = 1;; ++version) {
          if (!ReplaceFileContents(config, Version(version), c.naming)) ::_exit(1);
          [[maybe_unused]] const ssize_t w = ::write(done[1], "w", 1);
        }
      }
      ::close(done[1]);
      // Let it finish a few writes, then kill it wherever it is.
      const int writes = std::uniform_int_distribution<int>(1, 3)(random);
      for (int i = 0; i < writes; ++i) {
        char ch;
        ASSERT_EQ(::read(done[0], &ch, 1), 1) << "the writer failed";
      }
      ::kill(pid, SIGKILL);
      int status = 0;
      ::waitpid(pid, &status, 0);
      ::close(done[0]);
      ASSERT_GE(VersionOf(ReadFileBytes(config)), 0) << "a torn file after kill " << kill;
      if (Listing(dir.path()).size() > 1) ++litter_seen;

      ASSERT_TRUE(ReplaceFileContents(config, Version(0), c.naming));
      ASSERT_EQ(Listing(dir.path()), std::set<std::string>{"config.ini"}) << "kill " << kill;
      EXPECT_EQ(ReadFileBytes(config), Version(0));
    }
    std::printf("%s: temporaries left by %d of 60 killed writers, all removed\n", c.what,
                litter_seen);
  }
}

TEST(FileIo, OnlyDeadWritersTemporariesOfTheFileAreRemoved) {
  TempDir dir;
  const std::string config = dir.File("config.ini");
  const auto temp_of = [](const std::string& base, pid_t pid, const std::string& tail) {
    return "." + base + ".tmp-" + std::to_string(pid) + "-" + tail;
  };
  const pid_t dead = DeadPid();
  // A live writer of config.ini in the middle of its write: it holds its temporary.
  const pid_t writer = StartSleeper([&] {
    const std::string name = temp_of("config.ini", ::getpid(), "0-7");
    const int fd = ::open(dir.File(name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    ::flock(fd, LOCK_EX);
  });
  const std::string held_name = temp_of("config.ini", writer, "0-7");
  // A live process that has just created its temporary and not yet locked it.
  const pid_t starting = StartSleeper([] {});
  const std::string starting_name = temp_of("config.ini", starting, "3-1");

  const std::set<std::string> kept = {
      held_name,
      starting_name,
      temp_of("rpop.lfm", dead, "0-1"),  // another file's: its own next write
      ".config.ini.tmp-x-0-1",           // not a writer's name
      ".config.ini.tmp-",
      "config.ini.tmp-" + std::to_string(dead) + "-0-1",
  };
  const std::set<std::string> removed = {
      temp_of("config.ini", dead, "0-1"),
      temp_of("config.ini", dead, "12-3456789"),
      // This process's number from an earlier life, not held by any write of this one.
      temp_of("config.ini", ::getpid(), "99-1"),
  };
  for (const std::string& name : kept) {
    if (name != held_name) WriteFileBytes(dir.path() / name, "old");
  }
  for (const std::string& name : removed) WriteFileBytes(dir.path() / name, "dead");

  WriteProfileString(config, "ZAMRACONFIG", "FirstLoaded", "0");

  std::set<std::string> expected = kept;
  expected.insert("config.ini");
  EXPECT_EQ(Listing(dir.path()), expected);
  EXPECT_EQ(ReadFileBytes(config), "[ZAMRACONFIG]\r\nFirstLoaded=0\r\n");
  Kill(writer);
  Kill(starting);
  // Once the writer has died, its temporary goes with the next write.
  WriteProfileString(config, "ZAMRACONFIG", "FirstLoaded", "1");
  expected.erase(held_name);
  expected.erase(starting_name);
  EXPECT_EQ(Listing(dir.path()), expected);
}

}  // namespace
}  // namespace kalvira
