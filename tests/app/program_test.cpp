// The whole program: `kalvira` started offscreen in a program folder of the test's own,
// with the jingle and a station list of real MP3 files and the WAV device. The recording
// must hold the jingle and then only tracks the list allows, each exactly as the mpg123
// tool decodes it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "radio/list_file.h"
#include "tests/audio/mp3_fixtures.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;

// The PCM bytes of a WAV file written by the WAV device (its data chunk to the end, even
// while the header is not yet up to date).
std::string WavData(const std::string& bytes) {
  const std::size_t at = bytes.find("data");
  if (at == std::string::npos || at + 8 > bytes.size()) return {};
  return bytes.substr(at + 8);
}

std::size_t FirstNonZero(const std::string& pcm, std::size_t from) {
  const std::size_t at = pcm.find_first_not_of('\0', from);
  return at == std::string::npos ? pcm.size() : at;
}

// Splits the recording into the references it consists of, in order; silence (the
// play-out) between them is skipped. The last piece may be cut short. Returns the names,
// or "?" for a piece that is none of them.
std::vector<std::string> Pieces(const std::string& pcm,
                                const std::map<std::string, std::string>& refs) {
  std::vector<std::string> names;
  std::size_t at = FirstNonZero(pcm, 0);
  while (at < pcm.size()) {
    bool found = false;
    for (const auto& [name, ref] : refs) {
      const std::size_t start = FirstNonZero(ref, 0);
      const std::string body = ref.substr(start);
      const std::size_t n = std::min(body.size(), pcm.size() - at);
      if (n >= 4096 && pcm.compare(at, n, body, 0, n) == 0) {
        names.push_back(name);
        at = FirstNonZero(pcm, at + n);
        found = true;
        break;
      }
    }
    if (!found) {
      names.push_back("?");
      break;
    }
  }
  return names;
}

TEST(ProgramTest, PlaysTheJingleThenOnlyListedTracks) {
  const char* build = std::getenv("KALVIRA_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  const std::string program = std::string(build) + "/app/kalvira";
  if (!fs::exists(program)) GTEST_SKIP() << "kalvira is not built in this tree";

  testing::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  fs::create_directories(folder + "templates");
  std::map<std::string, std::string> refs;
  const auto make = [&](const std::string& name, const std::string& path, double seconds) {
    ASSERT_TRUE(testing::MakeMp3(path, testing::Mp3Recipe(44100, 2, seconds)));
    refs[name] = testing::DecodeWithMpg123Tool(path).value_or("");
  };
  make("jingle", folder + "templates/jingle.mp3", 1.0);
  make("one", folder + "one.mp3", 1.2);
  make("two", folder + "two.mp3", 0.8);
  make("never", folder + "never.mp3", 1.0);  // the last entry is never drawn
  WriteProfileString(folder + "config.ini", "ZAMRACONFIG", "sfx_w1", "jingle.mp3");
  WriteListFile(folder + "rallfm.lfm",
                {folder + "one.mp3", folder + "two.mp3", folder + "never.mp3"});

  const std::string wav = folder + "radio.wav";
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setenv("KALVIRA_PROGRAM_DIR", folder.c_str(), 1);
    ::setenv("KALVIRA_AUDIO_OUT", ("wav:" + wav).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::vector<std::string> pieces;
  const bool enough = testing::WaitUntil(
      [&] {
        pieces = Pieces(WavData(testing::ReadFileBytes(wav)), refs);
        return pieces.size() >= 4 || (!pieces.empty() && pieces.back() == "?");
      },
      std::chrono::seconds(60));
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(enough) << "the recording did not grow to four pieces";
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ(pieces.front(), "jingle");
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    EXPECT_TRUE(pieces[i] == "one" || pieces[i] == "two") << i << ": " << pieces[i];
  }
}

}  // namespace
}  // namespace kalvira
