// The whole program's first start: `kalvira` offscreen in a program folder without station
// lists, KALVIRA_DRIVES naming a folder of real tagged MP3s. It builds the five lists from
// that folder and then plays one of the found tracks into the WAV device.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/profile.h"
#include "radio/list_file.h"
#include "radio/settings_keys.h"
#include "tests/scan/scan_fixture.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;

TEST(ScanProgramTest, AFirstStartWithoutListsBuildsThemFromTheDrivesAndPlays) {
  const char* build = std::getenv("KALVIRA_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  const std::string program = std::string(build) + "/app/kalvira";
  if (!fs::exists(program)) GTEST_SKIP() << "kalvira is not built in this tree";

  testing::MusicCollection c;
  c.Genre("Rock", "ULTRA");
  const std::string rock = c.TaggedBy("Rock/song.mp3", "id3v2 -2 --TCON Rock");
  const std::string other = c.Untagged("Other/song.mp3");
  const std::string folder = c.Program().Dir();
  const std::string wav = folder + "radio.wav";

  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setenv("KALVIRA_PROGRAM_DIR", folder.c_str(), 1);
    ::setenv("KALVIRA_DRIVES", c.Drive().c_str(), 1);
    ::setenv("KALVIRA_AUDIO_OUT", ("wav:" + wav).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Some sound after the 44-byte header: a track plays (the jingle is not there).
  const bool playing = testing::WaitUntil(
      [&] {
        const std::string bytes = testing::ReadFileBytes(wav);
        return bytes.size() > 44 + 65536 && bytes.find_first_not_of('\0', 44) != std::string::npos;
      },
      std::chrono::seconds(60));
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(playing) << "nothing was played";

  std::vector<std::string> all = c.List("rallfm.lfm");
  std::sort(all.begin(), all.end());
  std::vector<std::string> expected = {rock, other};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);
  EXPECT_EQ(c.List("rultra.lfm"), std::vector<std::string>{rock});
  EXPECT_EQ(c.List("rpop.lfm"), std::vector<std::string>{});
  EXPECT_EQ(
      ReadProfileString(folder + "config.ini", settings::kConfigSection, settings::kFirstLoaded),
      "0");
}

}  // namespace
}  // namespace kalvira
