// CollectFiles and its mask: what matches, hidden entries, links and cycles, folders that
// cannot be listed, a very deep tree, and the mounts below a drive.
#include "scan/collect_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/test_support.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

TEST(MatchesMaskTest, StarQuestionMarkAndLetterCase) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  };
  const Case cases[] = {
      {"song.mp3", "*.mp3", true},
      {"SONG.MP3", "*.mp3", true},
      {"Song.Mp3", "*.MP3", true},
      {".mp3", "*.mp3", true},
      {"song.mp3.bak", "*.mp3", false},
      {"song.mp3x", "*.mp3", false},
      {"songmp3", "*.mp3", false},
      {"a.b.mp3", "*.mp3", true},
      {"ПЕСНЯ.MP3", "песня.mp3", true},  // Cyrillic letters fold too
      {"я.mp3", "?.mp3", true},          // "?" is one character, not one byte
      {"ab.mp3", "?.mp3", false},
      {".mp3", "?.mp3", false},
      {"abc", "a*b*c", true},
      {"aXbYc", "a*b*c", true},
      {"aXbY", "a*b*c", false},
      {"anything", "*", true},
      {"", "*", true},
      {"", "?", false},
      {"x", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " / " << c.mask;
  }
}

class CollectFilesTest : public ::testing::Test {
 protected:
  std::string Make(const std::string& relative) {
    const fs::path path = dir_.path() / relative;
    fs::create_directories(path.parent_path());
    testing::WriteFileBytes(path, "x");
    return path.string();
  }
  Paths Collect(bool recurse = true, const CollectOptions& options = {}) {
    Paths list;
    CollectFiles(dir_.path().string(), "*.mp3", list, recurse, options);
    return list;
  }
  static Paths Sorted(Paths paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  testing::TempDir dir_;
};

TEST_F(CollectFilesTest, FindsMatchingFilesAtEveryDepthHiddenOnesIncluded) {
  const std::string root = dir_.path().string();
  const Paths expected = {Make("a.mp3"), Make(".hidden.MP3"), Make("x/y/z/deep.mp3"),
                          Make(".cache/q.mp3")};
  Make("notes.txt");
  Make("x/song.mp3.bak");
  fs::create_directories(dir_.path() / "folder.mp3");
  EXPECT_EQ(Sorted(Collect()), Sorted(expected));
  EXPECT_EQ(Sorted(Collect(false)), Sorted({root + "/a.mp3", root + "/.hidden.MP3"}));

  // A trailing delimiter is not doubled.
  Paths list = {"already there"};
  CollectFiles(root + "/", "*.mp3", list, false);
  EXPECT_EQ(list.front(), "already there");
  EXPECT_EQ(Sorted({list[1], list[2]}), Sorted({root + "/a.mp3", root + "/.hidden.MP3"}));
}

// Depth first: a folder's files come out before those of the next entry of its parent.
TEST_F(CollectFilesTest, TheWalkIsDepthFirstAndCountsEveryMatch) {
  Make("a/1.mp3");
  Make("a/b/2.mp3");
  Make("c/3.mp3");
  std::vector<std::size_t> counts;
  std::size_t pumps = 0;
  CollectOptions options;
  options.on_found = [&](std::size_t n) { counts.push_back(n); };
  options.pump = [&] { ++pumps; };
  const Paths list = Collect(true, options);
  ASSERT_EQ(list.size(), 3u);
  const auto at = [&](const char* name) {
    return std::find_if(list.begin(), list.end(),
                        [&](const std::string& p) { return p.ends_with(name); }) -
           list.begin();
  };
  EXPECT_EQ(std::abs(at("1.mp3") - at("2.mp3")), 1) << "a/ is walked whole before c/";
  EXPECT_EQ(counts, (std::vector<std::size_t>{1, 2, 3}));
  EXPECT_EQ(pumps, 6u + 3u) << "one per entry (a, a/b, c and the three files), one per match";
}

TEST_F(CollectFilesTest, LinksToFoldersAreEnteredButACycleIsWalkedOnce) {
  testing::TempDir elsewhere;
  const std::string outside = elsewhere.File("outside.mp3");
  testing::WriteFileBytes(outside, "x");
  const std::string inner = Make("a/b/inner.mp3");
  fs::create_directory_symlink(dir_.path(), dir_.path() / "a/b/up");  // back to the root
  fs::create_directory_symlink(dir_.path() / "a", dir_.path() / "a/b/again");
  fs::create_directory_symlink(elsewhere.path(), dir_.path() / "music");
  fs::create_symlink(dir_.path() / "nowhere.mp3", dir_.path() / "dangling.mp3");
  const Paths list = Collect();
  EXPECT_EQ(std::count(list.begin(), list.end(), inner), 1);
  const std::string linked = (dir_.path() / "music/outside.mp3").string();
  EXPECT_EQ(std::count(list.begin(), list.end(), linked), 1);
  EXPECT_EQ(std::count(list.begin(), list.end(), (dir_.path() / "dangling.mp3").string()), 1)
      << "a link that leads nowhere is no folder; the size test leaves it out later";
  EXPECT_EQ(list.size(), 3u);
}

TEST_F(CollectFilesTest, AFolderThatVanishesBeforeItIsEnteredContributesNothing) {
  const std::string kept = Make("a/kept.mp3");
  Make("b/gone.mp3");
  Make("b/sub/gone.mp3");
  bool removed = false;
  CollectOptions options;
  options.pump = [&] {
    if (!removed) removed = fs::remove_all(dir_.path() / "b") > 0;
  };
  EXPECT_EQ(Collect(true, options), Paths{kept});
  Paths list;
  CollectFiles(dir_.File("missing"), "*.mp3", list, true);
  EXPECT_TRUE(list.empty());
}

// As root every folder can be listed; the walk runs in a child that has given up root.
TEST_F(CollectFilesTest, AFolderThatCannotBeListedContributesNothing) {
  const std::string kept = Make("open/kept.mp3");
  Make("closed/hidden.mp3");
  fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
  fs::permissions(dir_.path() / "open", fs::perms(0755));
  fs::permissions(dir_.path() / "open/kept.mp3", fs::perms(0644));
  fs::permissions(dir_.path() / "closed", fs::perms::none);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipe_fds[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    Paths list;
    CollectFiles(dir_.path().string(), "*.mp3", list, true);
    std::string out;
    for (const std::string& path : list) out += path + "\n";
    if (::write(pipe_fds[1], out.data(), out.size()) != static_cast<ssize_t>(out.size()))
      ::_exit(4);
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0)
    out.append(buffer, static_cast<std::size_t>(n));
  ::close(pipe_fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  fs::permissions(dir_.path() / "closed", fs::perms(0755));
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(out, kept + "\n");
}

// Folders nested 10,000 deep: the walk keeps its own stack (no overflow) and ends; what
// lies deeper than the system lets a path reach contributes nothing.
TEST_F(CollectFilesTest, ATreeTenThousandFoldersDeepIsWalkedWithoutOverflow) {
  constexpr int kDepth = 10000;
  const std::string top = Make("top.mp3");
  const std::string shallow = Make("d/d/d/shallow.mp3");
  int fd = ::open(dir_.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_TRUE(::mkdirat(fd, "d", 0755) == 0 || errno == EEXIST);
    const int child = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(child, 0);
    fd = child;
  }
  const int file = ::openat(fd, "bottom.mp3", O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(file, 0);
  ::close(file);

  const Paths list = Collect();
  EXPECT_EQ(std::count(list.begin(), list.end(), top), 1);
  EXPECT_EQ(std::count(list.begin(), list.end(), shallow), 1);

  // Take the chain down from its bottom, one folder at a time.
  ASSERT_EQ(::unlinkat(fd, "bottom.mp3", 0), 0);
  for (int i = 0; i < kDepth; ++i) {
    const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(parent, 0);
    fd = parent;
    if (i < kDepth - 3) {  // the top three hold shallow.mp3: the folder's own cleanup
      ASSERT_EQ(::unlinkat(fd, "d", AT_REMOVEDIR), 0);
    }
  }
  ::close(fd);
}

// /dev holds mounts of its own on most systems (pts, shm, mqueue): a walk that stays on
// the device of its root never enters them.
TEST(CollectFilesDeviceTest, MountsBelowTheRootAreNotEnteredWhenStayingOnItsDevice) {
  struct stat dev {
  }, pts{};
  if (::stat("/dev", &dev) != 0 || ::stat("/dev/pts", &pts) != 0 || dev.st_dev == pts.st_dev) {
    GTEST_SKIP() << "no mount below /dev";
  }
  Paths list;
  CollectOptions options;
  options.stay_on_device = true;
  CollectFiles("/dev", "*", list, true, options);
  EXPECT_TRUE(std::none_of(list.begin(), list.end(),
                           [](const std::string& p) { return p.starts_with("/dev/pts/"); }));
  Paths crossing;
  CollectFiles("/dev", "ptmx", crossing, true);
  EXPECT_TRUE(std::any_of(crossing.begin(), crossing.end(), [](const std::string& p) {
    return p.starts_with("/dev/pts/");
  })) << "without the rule the walk enters /dev/pts";
}

}  // namespace
}  // namespace kalvira
