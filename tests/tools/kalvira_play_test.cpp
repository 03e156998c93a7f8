// kalvira-play as a user runs it: a tagged MP3 and a missing file, recorded with the
// WAV-file device. The record is printed, the missing file is an error (exit status 1),
// and the recording holds exactly the mpg123 tool's decoding.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/audio/mp3_fixtures.h"
#include "tests/audio/wav_test_file.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using testing::ShellQuote;

std::string Player() {
  const char* build = std::getenv("KALVIRA_BUILD_DIR");
  return std::string(build == nullptr ? "." : build) + "/tools/kalvira-play/kalvira-play";
}

TEST(KalviraPlayTest, PlaysPrintsAndRecords) {
  testing::TempDir dir;
  const std::string mp3 = dir.File("песня.mp3");
  ASSERT_TRUE(testing::MakeMp3(
      mp3, testing::Mp3Recipe(22050, 1, 0.8)
               .Bitrate(64)
               .Lame({"--tt", "Ночь", "--ta", "Кино", "--tn", "3", "--ty", "1988"})));
  const std::string wav = dir.File("out.wav");
  const std::optional<std::string> output = testing::RunCommand(
      "KALVIRA_AUDIO_OUT=" + ShellQuote("wav:" + wav) + " " + ShellQuote(Player()) + " " +
      ShellQuote(mp3) + " " + ShellQuote(dir.File("missing.mp3")) + " </dev/null; echo exit=$?");
  ASSERT_TRUE(output.has_value());
  EXPECT_NE(output->find("device    WAV file " + wav + "\n"), std::string::npos) << *output;
  EXPECT_NE(output->find(mp3 + "\n  format    22050 Hz, 1 channel, 16 bits, 0:00."),
            std::string::npos)
      << *output;
  EXPECT_NE(output->find("  artist    Кино\n  title     Ночь\n"), std::string::npos) << *output;
  EXPECT_NE(output->find("  track     3\n  year      1988\n"), std::string::npos) << *output;
  EXPECT_NE(output->find("  error     No such file or directory\n"), std::string::npos) << *output;
  EXPECT_NE(output->find("exit=1\n"), std::string::npos) << *output;

  const std::optional<std::string> reference = testing::DecodeWithMpg123Tool(mp3);
  ASSERT_TRUE(reference.has_value());
  const std::optional<testing::WavContents> recorded =
      testing::ParseWav(testing::ReadFileBytes(wav));
  ASSERT_TRUE(recorded.has_value());
  ASSERT_GE(recorded->data.size(), reference->size());
  EXPECT_EQ(recorded->data.compare(0, reference->size(), *reference), 0);
}

TEST(KalviraPlayTest, WithoutFilesPrintsUsage) {
  const std::optional<std::string> output =
      testing::RunCommand(ShellQuote(Player()) + " 2>&1; echo exit=$?");
  ASSERT_TRUE(output.has_value());
  EXPECT_EQ(output->rfind("usage: kalvira-play FILE...\n", 0), 0u) << *output;
  EXPECT_NE(output->find("exit=2\n"), std::string::npos);
}

}  // namespace
}  // namespace kalvira
