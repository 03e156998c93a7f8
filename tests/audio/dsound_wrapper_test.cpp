// The buffer arithmetic of the sound output against the simulated device: free space,
// passes missed between two queries, underruns, writes that wrap, silence, volume, and
// where a stopped and restarted buffer measures from.
#include "audio/dsound_wrapper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "base/exception.h"
#include "tests/audio/support/pcm_format.h"
#include "tests/audio/support/simulated_sound_device.h"

namespace kalvira {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// 16-bit stereo at 44100 Hz with 24576 frames: the stored settings.
constexpr std::uint32_t kSize = 24576 * 4;

struct Rig {
  explicit Rig(SimulatedSoundDevice::Options options = {}) : device(options), wrapper(&device) {}
  void Open(const WaveFormat& format = testing::PcmFormat(2, 44100, 16),
            std::uint32_t size = kSize) {
    ASSERT_EQ(wrapper.CreateDevice(SoundDeviceId{}), kSoundOk);
    ASSERT_EQ(wrapper.InitBuffers(format, size), kSoundOk);
  }
  // Fills the whole buffer with a byte pattern and starts playing, as a first fill does.
  void FillAndStart() {
    std::vector<std::uint8_t> data(wrapper.buffer_size());
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    wrapper.WriteData(data.data(), static_cast<std::uint32_t>(data.size()));
    ASSERT_EQ(wrapper.StartPlayback(), kSoundOk);
  }
  std::uint32_t Free() {
    std::uint32_t free = 0;
    EXPECT_EQ(wrapper.QueryFree(&free), kSoundOk);
    return free;
  }
  SimulatedSoundDevice device;
  DSoundWrapper wrapper;
};

TEST(DSoundWrapperTest, InitBuffersClearsTheBufferAndMeasuresOnePass) {
  struct Case {
    std::uint32_t rate;
    std::uint32_t frames;
    std::int64_t frequency;
    std::int64_t ticks;
  };
  const Case cases[] = {
      {44100, 24576, 1'000'000'000, 557'278'911},  // 1e9 × 24576 div 44100
      {48000, 24576, 1'000'000'000, 512'000'000},
      {22050, 24576, 3'579'545, 3'989'609},  // an old-style counter frequency
      {44100, 24576, 0, 0},                  // no counter: no pass detection
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.rate << " Hz, counter " << c.frequency);
    SimulatedSoundDevice::Options options;
    options.performance_frequency = c.frequency;
    Rig rig(options);
    rig.Open(testing::PcmFormat(2, c.rate, 16), c.frames * 4);
    EXPECT_EQ(rig.wrapper.ticks_per_buffer(), c.ticks);
    EXPECT_EQ(rig.wrapper.block_align(), 4u);
    EXPECT_EQ(rig.wrapper.write_pos(), 0u);
    EXPECT_FALSE(rig.wrapper.playing());
    const std::vector<std::uint8_t> contents = rig.device.buffer_contents();
    ASSERT_EQ(contents.size(), c.frames * 4);
    EXPECT_EQ(std::count(contents.begin(), contents.end(), 0), static_cast<long>(contents.size()));
  }
}

TEST(DSoundWrapperTest, InitBuffersReportsTheFirstFailure) {
  Rig rig;
  ASSERT_EQ(rig.wrapper.CreateDevice(SoundDeviceId{}), kSoundOk);
  rig.device.FailSetFormat(kSoundErrBadFormat);
  rig.device.FailCreateBuffer(kSoundErrOutOfMemory);
  EXPECT_EQ(rig.wrapper.InitBuffers(testing::PcmFormat(2, 44100, 16), kSize), kSoundErrBadFormat);
  rig.device.FailSetFormat(kSoundOk);
  EXPECT_EQ(rig.wrapper.InitBuffers(testing::PcmFormat(2, 44100, 16), kSize), kSoundErrOutOfMemory);
  rig.device.FailCreateBuffer(kSoundOk);
  EXPECT_EQ(rig.wrapper.InitBuffers(testing::PcmFormat(2, 44100, 16), 0), kSoundErrInvalidParam);
  EXPECT_FALSE(rig.wrapper.has_buffer());
  rig.device.FailPositionQueries(true);
  EXPECT_EQ(rig.wrapper.InitBuffers(testing::PcmFormat(2, 44100, 16), kSize), kSoundErrGeneric);
}

// One query after the clock moved on from a full buffer that started playing at 0.
TEST(DSoundWrapperTest, QueryFreeFollowsThePlayPositionAndCountsUnderruns) {
  struct Case {
    const char* what;
    nanoseconds advance;
    std::uint32_t lead_frames;
    std::int64_t frequency;
    std::uint32_t free;
    std::int32_t underruns;
    std::uint32_t write_pos;
  };
  const Case cases[] = {
      {"nothing played yet", nanoseconds(0), 1024, 1'000'000'000, 0, 0, 0},
      {"one polling interval", milliseconds(100), 1024, 1'000'000'000, 17640, 0, 0},
      {"most of the buffer", milliseconds(520), 1024, 1'000'000'000, 91728, 0, 0},
      // 97020 played; the device has taken 4096 bytes more and so passed the data end.
      {"write position past the data", milliseconds(550), 1024, 1'000'000'000, 94208, 1,
       (97020 + 4096) % kSize},
      {"same without a lead", milliseconds(550), 0, 1'000'000'000, 97020, 0, 0},
      // The play position is back at 0: only the clock shows the pass.
      {"exactly one pass", nanoseconds(557'278'912), 1024, 1'000'000'000, 94208, 1, 4096},
      {"a pass and a bit", milliseconds(700), 1024, 1'000'000'000, 94208, 1,
       (123480 - kSize + 4096)},
      {"a pass and a bit, no counter", milliseconds(700), 1024, 0, 123480 - kSize, 0, 0},
      {"four passes", milliseconds(2300), 0, 1'000'000'000, kSize, 1, (101430 * 4) % kSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatedSoundDevice::Options options;
    options.lead_frames = c.lead_frames;
    options.performance_frequency = c.frequency;
    Rig rig(options);
    rig.Open();
    rig.FillAndStart();
    ASSERT_EQ(rig.wrapper.write_pos(), 0u);
    rig.device.AdvanceClock(c.advance);
    EXPECT_EQ(rig.Free(), c.free);
    EXPECT_EQ(rig.wrapper.underruns(), c.underruns);
    EXPECT_EQ(rig.wrapper.write_pos(), c.write_pos);
  }
}

TEST(DSoundWrapperTest, StoppedBufferHasNoRoomAndNoUnderruns) {
  Rig rig;
  rig.Open();
  rig.FillAndStart();
  rig.device.AdvanceClock(milliseconds(100));
  rig.wrapper.StopPlayback();
  const std::uint32_t before = rig.Free();
  EXPECT_EQ(before, 17640u);
  rig.device.AdvanceClock(std::chrono::seconds(5));
  EXPECT_EQ(rig.Free(), before);
  EXPECT_EQ(rig.wrapper.underruns(), 0);
}

TEST(DSoundWrapperTest, FailedQueryReportsTheCode) {
  Rig rig;
  rig.Open();
  rig.FillAndStart();
  rig.device.FailPositionQueries(true);
  std::uint32_t free = 123;
  EXPECT_EQ(rig.wrapper.QueryFree(&free), kSoundErrGeneric);
  EXPECT_EQ(free, 0u);
}

// Steady play with a refill after every query never counts an underrun, and what the
// device plays is exactly what was written.
TEST(DSoundWrapperTest, SteadyRefillsPlayTheDataInOrder) {
  SimulatedSoundDevice::Options options;
  options.lead_frames = 441;
  Rig rig(options);
  rig.Open();
  std::vector<std::uint8_t> source(kSize * 6);
  for (std::size_t i = 0; i < source.size(); ++i) {
    source[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 24);
  }
  std::size_t sent = kSize;
  rig.wrapper.WriteData(source.data(), kSize);
  ASSERT_EQ(rig.wrapper.StartPlayback(), kSoundOk);
  while (sent < source.size()) {
    rig.device.AdvanceClock(milliseconds(97));
    std::uint32_t free = rig.Free();
    free =
        std::min<std::uint32_t>(free - free % 4, static_cast<std::uint32_t>(source.size() - sent));
    rig.wrapper.WriteData(source.data() + sent, free);
    sent += free;
  }
  EXPECT_EQ(rig.wrapper.underruns(), 0);
  const std::vector<std::uint8_t> played = rig.device.played();
  ASSERT_GT(played.size(), kSize * 4);
  EXPECT_TRUE(std::equal(played.begin(), played.end(), source.begin()));
}

TEST(DSoundWrapperTest, WriteDataWrapsAtTheEnd) {
  Rig rig;
  rig.Open(testing::PcmFormat(1, 8000, 8), 16);
  const std::uint8_t first[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  rig.wrapper.WriteData(first, 12);
  EXPECT_EQ(rig.wrapper.write_pos(), 12u);
  const std::uint8_t second[7] = {21, 22, 23, 24, 25, 26, 27};
  rig.wrapper.WriteData(second, 7);
  EXPECT_EQ(rig.wrapper.write_pos(), 3u);
  EXPECT_EQ(rig.device.buffer_contents(),
            (std::vector<std::uint8_t>{25, 26, 27, 4, 5, 6, 7, 8, 9, 10, 11, 12, 21, 22, 23, 24}));
  // More than the buffer cannot be locked: nothing is written.
  const std::vector<std::uint8_t> too_much(17, 99);
  rig.wrapper.WriteData(too_much.data(), 17);
  EXPECT_EQ(rig.wrapper.write_pos(), 3u);
  EXPECT_EQ(rig.device.buffer_contents()[3], 4);
}

TEST(DSoundWrapperTest, FillSilenceFillsExactlyWhatWasPlayed) {
  Rig rig;
  rig.Open(testing::PcmFormat(1, 8000, 8), 800);  // 100 ms
  std::vector<std::uint8_t> data(800, 7);
  rig.wrapper.WriteData(data.data(), 800);
  ASSERT_EQ(rig.wrapper.StartPlayback(), kSoundOk);
  rig.device.AdvanceClock(milliseconds(30));  // 240 bytes played
  rig.wrapper.FillSilence(128);
  EXPECT_EQ(rig.wrapper.write_pos(), 240u);
  const std::vector<std::uint8_t> contents = rig.device.buffer_contents();
  EXPECT_EQ(std::count(contents.begin(), contents.begin() + 240, 128), 240);
  EXPECT_EQ(std::count(contents.begin() + 240, contents.end(), 7), 560);
  // Nothing more to fill until the device plays on.
  rig.wrapper.FillSilence(0);
  EXPECT_EQ(rig.device.buffer_contents()[0], 128);
}

TEST(DSoundWrapperTest, VolumeGoesToTheBufferAndARefusalIsAnError) {
  Rig rig;
  rig.Open();
  rig.wrapper.ApplyVolume(-600);
  EXPECT_EQ(rig.device.buffer_state().volume, -600);
  EXPECT_EQ(rig.wrapper.volume(), -600);
  rig.device.RefuseVolume(true);
  try {
    rig.wrapper.ApplyVolume(0);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Control not available");
  }
}

TEST(DSoundWrapperTest, StopAndRestartKeepThePosition) {
  Rig rig;
  rig.Open();
  rig.FillAndStart();
  rig.device.AdvanceClock(milliseconds(100));
  rig.wrapper.StopPlayback();
  EXPECT_FALSE(rig.wrapper.playing());
  const std::uint32_t stopped_at = rig.device.buffer_state().play;
  EXPECT_EQ(stopped_at, 17640u);
  rig.device.AdvanceClock(milliseconds(300));
  EXPECT_EQ(rig.device.buffer_state().play, stopped_at);
  ASSERT_EQ(rig.wrapper.RestartPlayback(), kSoundOk);
  EXPECT_TRUE(rig.wrapper.playing());
  rig.device.AdvanceClock(milliseconds(100));
  EXPECT_EQ(rig.device.buffer_state().play, 2 * 17640u);
}

// A buffer that stood still for a long pause has missed no passes: after the restart
// the free space is what it played since, and the data still waiting is not overwritten.
TEST(DSoundWrapperTest, LongPauseIsNotTakenForMissedPasses) {
  SimulatedSoundDevice::Options options;
  options.lead_frames = 441;
  Rig rig(options);
  rig.Open();
  rig.FillAndStart();
  rig.device.AdvanceClock(milliseconds(100));
  EXPECT_EQ(rig.Free(), 17640u);
  rig.wrapper.StopPlayback();
  rig.device.AdvanceClock(std::chrono::seconds(10));
  ASSERT_EQ(rig.wrapper.RestartPlayback(), kSoundOk);
  rig.device.AdvanceClock(milliseconds(100));
  EXPECT_EQ(rig.Free(), 2 * 17640u);
  EXPECT_EQ(rig.wrapper.underruns(), 0);
  EXPECT_EQ(rig.wrapper.write_pos(), 0u);
  // A real stall after the restart is still found.
  rig.device.AdvanceClock(milliseconds(700));
  rig.Free();
  EXPECT_EQ(rig.wrapper.underruns(), 1);
}

TEST(DSoundWrapperTest, WithoutABufferNothingHappens) {
  Rig rig;
  EXPECT_EQ(rig.wrapper.RestartPlayback(), kSoundErrInvalidCall);
  rig.wrapper.StopPlayback();
  std::uint32_t free = 5;
  EXPECT_EQ(rig.wrapper.QueryFree(&free), kSoundErrInvalidCall);
  EXPECT_EQ(free, 0u);
  rig.wrapper.FillSilence(0);
  rig.wrapper.ApplyVolume(-100);
  EXPECT_FALSE(rig.wrapper.playing());
  rig.wrapper.ReleaseAll();
}

}  // namespace
}  // namespace kalvira
