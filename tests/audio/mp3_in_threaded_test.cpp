// The user-interface thread reading the tag record while the output's worker starts and
// reads a run of the same input: exactly one of them opens the file, and both see the
// same file.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "audio/mp3_in.h"
#include "tests/audio/mp3_fixtures.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

TEST(Mp3InThreadedTest, TheWorkerAndATagReaderOpenTheFileOnce) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(
      path, testing::Mp3Recipe(44100, 2, 0.5).Lame({"--ta", "Band", "--tn", "5"})));
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);

  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    std::atomic<int> opens{0};
    TMP3In input;
    input.SetReaderFactory([&opens] {
      opens.fetch_add(1);
      return CreateMediaReader();
    });
    input.SetFileName(path);
    std::atomic<bool> tags_read{false};
    std::string pcm;
    std::thread worker([&] {
      input.BeginRun();
      // The run goes on while the tags are read; it ends (and closes) only after.
      for (;;) {
        const std::uint8_t* data = nullptr;
        std::uint32_t bytes = 4096;
        input.Read(data, bytes);
        if (bytes == 0) break;
        pcm.append(reinterpret_cast<const char*>(data), bytes);
      }
      testing::WaitUntil([&] { return tags_read.load(); });
      input.EndRun();
    });
    const std::string artist = input.Id3v2Tags().Artist();
    const std::string track = input.Id3v2Tags().Track();
    tags_read.store(true);
    worker.join();
    EXPECT_EQ(artist, "Band");
    EXPECT_EQ(track, "5");
    EXPECT_EQ(opens.load(), 1);
    EXPECT_TRUE(pcm == *expected);
  }
}

}  // namespace
}  // namespace kalvira
