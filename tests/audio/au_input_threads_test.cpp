// The input's locks between the output's worker and the user-interface thread: the file
// opens once when both race to open it, and it is never closed underneath a read.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "audio/au_exception.h"
#include "audio/au_input.h"
#include "tests/audio/support/audio_test_support.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using testing::SimInput;
using testing::SimInputOptions;

TEST(AuInputThreadsTest, RacingOpensOpenTheFileOnce) {
  for (int i = 0; i < 200; ++i) {
    SimInput input;
    std::thread worker([&] {
      input.BeginRun();
      bool eof = false;
      char buffer[512];
      input.ReadFully(buffer, sizeof buffer, eof);
    });
    // The user-interface thread reads the format right after Run, as the radio reads tags.
    EXPECT_EQ(input.GetChannels(), 2u);
    EXPECT_EQ(input.GetSampleRate(), 8000u);
    worker.join();
    EXPECT_EQ(input.Opens(), 1);
    input.EndRun();
    EXPECT_EQ(input.Closes(), 1);
  }
}

TEST(AuInputThreadsTest, FileNameWaitsForTheReadInProgress) {
  SimInput input;
  input.BeginRun();
  input.HoldReads(true);
  std::string delivered;
  std::thread worker([&] {
    const std::uint8_t* data = nullptr;
    std::uint32_t bytes = 100;
    input.Read(data, bytes);
    // The data is still the input's when the read returns: the file was not closed.
    delivered.assign(reinterpret_cast<const char*>(data), bytes);
  });
  ASSERT_TRUE(testing::WaitUntil([&] { return input.ReadsWaiting() == 1; }));
  std::atomic<bool> renamed{false};
  std::thread ui([&] {
    input.SetFileName("next.pcm");
    renamed = true;
  });
  // The read holds DataLock: the new name cannot close the file yet.
  EXPECT_FALSE(testing::WaitUntil([&] { return renamed.load(); }, std::chrono::milliseconds(200)));
  EXPECT_EQ(input.Closes(), 0);
  input.HoldReads(false);
  worker.join();
  ui.join();
  EXPECT_EQ(delivered, testing::PatternBytes(0, 100));
  EXPECT_EQ(input.Closes(), 1);
  // The next read of the run fails instead of reading a closed file.
  const std::uint8_t* data = nullptr;
  std::uint32_t bytes = 100;
  EXPECT_THROW(input.Read(data, bytes), EAuException);
  input.EndRun();
}

}  // namespace
}  // namespace kalvira
