// Where the program keeps its files when installed, built or pointed elsewhere, and the
// seeding of a listener's own folder from the shipped files: once, into a folder that
// does not exist yet, and never over what is there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/program_dir.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;

TEST(UserProgramDir, TheFolderFollowsHowTheProgramRuns) {
  struct Case {
    const char* name;
    ProgramDirFacts facts;
    ProgramDirPlace expected;
  };
  const std::vector<Case> cases = {
      {"build tree",
       {"", "/src/build/debug/app", "", "/x", "/home/a"},
       {"/src/build/debug/app/", ""}},
      {"installed",
       {"", "/usr/bin", "/usr/share/kalvira", "", "/home/a"},
       {"/home/a/.local/share/kalvira/", "/usr/share/kalvira/"}},
      {"installed, XDG_DATA_HOME",
       {"", "/usr/bin", "/usr/share/kalvira", "/data/", "/home/a"},
       {"/data/kalvira/", "/usr/share/kalvira/"}},
      {"installed, relative XDG_DATA_HOME is ignored",
       {"", "/usr/bin", "/usr/share/kalvira", "data", "/home/a"},
       {"/home/a/.local/share/kalvira/", "/usr/share/kalvira/"}},
      {"installed, no HOME",
       {"", "/usr/bin", "/usr/share/kalvira", "", ""},
       {"/.local/share/kalvira/", "/usr/share/kalvira/"}},
      {"override wins over an installation",
       {"/opt/radio", "/usr/bin", "/usr/share/kalvira", "/data", "/home/a"},
       {"/opt/radio/", ""}},
      {"override wins over a build tree",
       {"/opt/radio/", "/src/app", "", "", "/home/a"},
       {"/opt/radio/", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramDirPlace place = ProgramDirOf(c.facts);
    EXPECT_EQ(place.dir, c.expected.dir);
    EXPECT_EQ(place.seed_from, c.expected.seed_from);
  }
}

// The shipped folder of a small installation.
class SeedTest : public ::testing::Test {
 protected:
  SeedTest() {
    share_ = temp_.File("share/kalvira");
    fs::create_directories(share_ + "/templates");
    fs::create_directories(share_ + "/skins");
    testing::WriteFileBytes(share_ + "/config.ini", "[ZAMRACONFIG]\r\nSKIN=skins/a.qss\r\n");
    testing::WriteFileBytes(share_ + "/templates/jingle.mp3", std::string(5000, '\x55'));
    testing::WriteFileBytes(share_ + "/skins/a.qss", "QWidget {}");
    user_ = temp_.File("home/.local/share/kalvira/");
  }

  testing::TempDir temp_;
  std::string share_;
  std::string user_;
};

TEST_F(SeedTest, TheFirstStartCopiesEverythingAndLaterStartsNothing) {
  std::string error;
  ASSERT_TRUE(SeedProgramDir(share_, user_, &error)) << error;
  for (const char* file : {"config.ini", "templates/jingle.mp3", "skins/a.qss"}) {
    EXPECT_EQ(testing::ReadFileBytes(user_ + file), testing::ReadFileBytes(share_ + "/" + file))
        << file;
  }
  // No staging folder is left beside it.
  std::vector<std::string> beside;
  for (const auto& entry : fs::directory_iterator(temp_.File("home/.local/share")))
    beside.push_back(entry.path().filename().string());
  EXPECT_EQ(beside, std::vector<std::string>{"kalvira"});

  // The listener edits one file and removes another; a newer installation ships more.
  testing::WriteFileBytes(user_ + "config.ini", "[ZAMRACONFIG]\r\nSKIN=\r\n");
  fs::remove(user_ + "skins/a.qss");
  testing::WriteFileBytes(share_ + "/config.ini", "[ZAMRACONFIG]\r\nSKIN=skins/b.qss\r\n");
  testing::WriteFileBytes(share_ + "/new.txt", "new");
  ASSERT_TRUE(SeedProgramDir(share_, user_, &error)) << error;
  EXPECT_EQ(testing::ReadFileBytes(user_ + "config.ini"), "[ZAMRACONFIG]\r\nSKIN=\r\n");
  EXPECT_FALSE(fs::exists(user_ + "skins/a.qss"));
  EXPECT_FALSE(fs::exists(user_ + "new.txt"));
}

// An empty folder the listener made counts as theirs, as does a folder of a seed that
// another copy of the program finished first.
TEST_F(SeedTest, AnExistingFolderIsNeverSeeded) {
  fs::create_directories(user_);
  std::string error;
  ASSERT_TRUE(SeedProgramDir(share_, user_, &error)) << error;
  EXPECT_TRUE(fs::is_empty(user_));
}

TEST_F(SeedTest, AFolderThatCannotBeMadeIsAnError) {
  testing::WriteFileBytes(temp_.File("blocker"), "a file where a folder should be");
  std::string error;
  EXPECT_FALSE(SeedProgramDir(share_, temp_.File("blocker/kalvira/"), &error));
  EXPECT_NE(error.find("blocker"), std::string::npos) << error;
  // A shipped folder that is not there: nothing half made stays behind.
  EXPECT_FALSE(SeedProgramDir(temp_.File("missing"), temp_.File("other/kalvira"), &error));
  EXPECT_FALSE(fs::exists(temp_.File("other/kalvira")));
  EXPECT_TRUE(fs::is_empty(temp_.File("other")));
}

}  // namespace
}  // namespace kalvira
