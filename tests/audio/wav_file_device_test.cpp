// The WAV-file sound device: what it writes, how it paces itself, how runs share files,
// and how it fails; and the choice of device by KALVIRA_AUDIO_OUT.
#include "audio/wav_file_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/dx_audio_out.h"
#include "base/sync_call.h"
#include "tests/audio/pcm_test_input.h"
#include "tests/audio/support/pcm_format.h"
#include "tests/audio/wav_test_file.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using kalvira::testing::ParseWav;
using kalvira::testing::PatternPcm;
using kalvira::testing::ReadFileBytes;
using kalvira::testing::TempDir;
using kalvira::testing::WaitUntil;
using kalvira::testing::WavContents;

std::uint32_t PlayPosition(SoundBuffer& buffer) {
  std::uint32_t play = 0;
  buffer.GetCurrentPosition(&play, nullptr);
  return play;
}

// Plays `data` from the start of a new buffer of exactly its size until the device has
// played at least `at_least` bytes (without coming round again), then stops and releases.
void PlayOnce(SoundEndpoint& endpoint, const WaveFormat& format,
              const std::vector<std::uint8_t>& data, std::uint32_t at_least) {
  std::unique_ptr<SoundBuffer> buffer;
  ASSERT_EQ(endpoint.CreateBuffer(format, static_cast<std::uint32_t>(data.size()), &buffer),
            kSoundOk);
  SoundRegion region;
  ASSERT_EQ(buffer->Lock(0, static_cast<std::uint32_t>(data.size()), &region), kSoundOk);
  region.CopyFrom(data.data());
  buffer->Unlock(region);
  ASSERT_EQ(buffer->Play(), kSoundOk);
  ASSERT_TRUE(WaitUntil([&] { return PlayPosition(*buffer) >= at_least; }));
  buffer->Stop();
}

TEST(WavFileDeviceTest, ListsOneDefaultDevice) {
  TempDir dir;
  auto device = MakeWavFileSoundDevice(dir.File("out.wav"));
  const std::vector<SoundDeviceInfo> list = device->EnumerateDevices();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].id, SoundDeviceId{});
  EXPECT_EQ(list[0].description, "WAV file " + dir.File("out.wav"));
  std::unique_ptr<SoundEndpoint> endpoint;
  SoundDeviceId other{};
  other[3] = 1;
  EXPECT_EQ(device->CreateEndpoint(other, &endpoint), kSoundErrNoDriver);
  EXPECT_EQ(device->PerformanceFrequency(), 1'000'000'000);
}

// What is written is what the buffer played from its play position, in real time.
TEST(WavFileDeviceTest, WritesWhatIsPlayedNoFasterThanRealTime) {
  TempDir dir;
  const std::string path = dir.File("out.wav");
  auto device = MakeWavFileSoundDevice(path);
  std::unique_ptr<SoundEndpoint> endpoint;
  ASSERT_EQ(device->CreateEndpoint(SoundDeviceId{}, &endpoint), kSoundOk);
  const std::vector<std::uint8_t> data = PatternPcm(44100, 2, 16);  // one second
  const auto start = std::chrono::steady_clock::now();
  PlayOnce(*endpoint, testing::PcmFormat(2, 44100, 16), data, 44100);  // at least a quarter second
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const std::optional<WavContents> wav = ParseWav(ReadFileBytes(path));
  ASSERT_TRUE(wav.has_value());
  EXPECT_EQ(wav->format_tag, 1);
  EXPECT_EQ(wav->fmt_size, 16u);
  EXPECT_EQ(wav->channels, 2);
  EXPECT_EQ(wav->rate, 44100u);
  EXPECT_EQ(wav->avg_bytes_per_sec, 176400u);
  EXPECT_EQ(wav->block_align, 4);
  EXPECT_EQ(wav->bits, 16);
  ASSERT_GE(wav->data.size(), 44100u);
  ASSERT_EQ(wav->data.size() % 4, 0u);
  for (std::size_t i = 0; i < wav->data.size(); ++i) {
    ASSERT_EQ(static_cast<std::uint8_t>(wav->data[i]), data[i % data.size()]) << "byte " << i;
  }
  // Never ahead of the clock by more than the writer's period.
  EXPECT_LE(wav->data.size() / 176400.0, elapsed + kWavWriterPeriodMs / 1000.0 + 0.001);
}

// Runs in one format append to one file; another format starts a numbered file. Each
// file is complete after every run.
TEST(WavFileDeviceTest, RunsAppendAndANewFormatStartsANewFile) {
  TempDir dir;
  const std::string path = dir.File("radio.wav");
  auto device = MakeWavFileSoundDevice(path);
  std::unique_ptr<SoundEndpoint> endpoint;
  ASSERT_EQ(device->CreateEndpoint(SoundDeviceId{}, &endpoint), kSoundOk);
  const std::vector<std::uint8_t> a = PatternPcm(8000, 1, 8);
  PlayOnce(*endpoint, testing::PcmFormat(1, 8000, 8), a, 1);
  const std::optional<WavContents> first = ParseWav(ReadFileBytes(path));
  ASSERT_TRUE(first.has_value());
  const std::size_t first_size = first->data.size();
  ASSERT_GT(first_size, 0u);

  PlayOnce(*endpoint, testing::PcmFormat(1, 8000, 8), a, 1);
  const std::optional<WavContents> both = ParseWav(ReadFileBytes(path));
  ASSERT_TRUE(both.has_value());
  ASSERT_GT(both->data.size(), first_size);
  EXPECT_EQ(both->data.compare(0, first_size, first->data), 0);
  EXPECT_EQ(static_cast<std::uint8_t>(both->data[first_size]), a[0]);

  PlayOnce(*endpoint, testing::PcmFormat(2, 22050, 16), PatternPcm(22050, 2, 16), 4);
  const std::optional<WavContents> second = ParseWav(ReadFileBytes(dir.File("radio-2.wav")));
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->rate, 22050u);
  EXPECT_EQ(second->channels, 2);
  EXPECT_EQ(ParseWav(ReadFileBytes(path))->data.size(), both->data.size());
}

TEST(WavFileDeviceTest, OneBufferAtATime) {
  TempDir dir;
  auto device = MakeWavFileSoundDevice(dir.File("out.wav"));
  std::unique_ptr<SoundEndpoint> endpoint;
  ASSERT_EQ(device->CreateEndpoint(SoundDeviceId{}, &endpoint), kSoundOk);
  std::unique_ptr<SoundBuffer> first;
  std::unique_ptr<SoundBuffer> second;
  ASSERT_EQ(endpoint->CreateBuffer(testing::PcmFormat(2, 44100, 16), 4096, &first), kSoundOk);
  EXPECT_EQ(endpoint->CreateBuffer(testing::PcmFormat(2, 44100, 16), 4096, &second),
            kSoundErrAllocated);
  first.reset();
  EXPECT_EQ(endpoint->CreateBuffer(testing::PcmFormat(2, 44100, 16), 4096, &second), kSoundOk);
}

// A file that cannot be created fails the run like a buffer the device refuses.
TEST(WavFileDeviceTest, UnwritablePathFailsTheRun) {
  SyncCallQueue::Instance().BindUiThread();
  TempDir dir;
  kalvira::testing::PcmTestInput input(2, 44100, 16, PatternPcm(4410, 2, 16));
  TDXAudioOut out(MakeWavFileSoundDevice(dir.File("no/such/folder/out.wav")));
  int done = 0;
  out.SetInput(&input);
  out.SetOnDone([&](TAuOutput*) { ++done; });
  out.Run();
  ASSERT_TRUE(WaitUntil([&] {
    SyncCallQueue::Instance().RunPending();
    return done == 1;
  }));
  EXPECT_EQ(out.ErrorText(), "Failed to create DirectSound buffer80070005");
  EXPECT_EQ(input.ended(), 1);
}

// A whole run through the output: the file holds the input, then the play-out's silence.
TEST(WavFileDeviceTest, WholeRunRecordsTheInputThenSilence) {
  SyncCallQueue::Instance().BindUiThread();
  TempDir dir;
  const std::string path = dir.File("run.wav");
  kalvira::testing::PcmTestInput input(1, 22050, 16, PatternPcm(22050 * 3 / 2, 1, 16));
  int done = 0;
  int underruns = 0;
  {
    TDXAudioOut out(MakeWavFileSoundDevice(path));
    out.SetInput(&input);
    out.SetOnDone([&](TAuOutput*) { ++done; });
    out.SetOnUnderrun([&](TAuOutput*) { ++underruns; });
    out.Run();
    ASSERT_TRUE(WaitUntil([&] {
      SyncCallQueue::Instance().RunPending();
      return done == 1;
    }));
    EXPECT_EQ(out.ErrorText(), "");
  }
  EXPECT_EQ(underruns, 0) << "the machine was too slow to keep the device fed";
  const std::optional<WavContents> wav = ParseWav(ReadFileBytes(path));
  ASSERT_TRUE(wav.has_value());
  const std::vector<std::uint8_t>& data = input.data();
  ASSERT_GE(wav->data.size(), data.size());
  const auto mismatch =
      std::mismatch(data.begin(), data.end(), wav->data.begin(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
  EXPECT_EQ(mismatch.first, data.end())
      << "first difference at byte " << (mismatch.first - data.begin()) << " of " << data.size()
      << ", file " << wav->data.size();
  EXPECT_TRUE(std::all_of(wav->data.begin() + static_cast<long>(data.size()), wav->data.end(),
                          [](char b) { return b == 0; }));
}

TEST(WavFileDeviceTest, EnvironmentChoosesTheDevice) {
  TempDir dir;
  struct Case {
    std::string choice;
    std::size_t devices;
  };
  const Case cases[] = {
      {"none", 0},
      {"wav:" + dir.File("x.wav"), 1},
      {"wav:", 0},     // no path: no device (with a warning)
      {"speaker", 0},  // unknown: no device (with a warning)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choice);
    EXPECT_EQ(SoundDeviceFromChoice(c.choice)->EnumerateDevices().size(), c.devices);
  }
  ::setenv("KALVIRA_AUDIO_OUT", ("wav:" + dir.File("env.wav")).c_str(), 1);
  const std::shared_ptr<SoundDevice> first = SoundDeviceFromEnvironment();
  // The outputs of one process share the device.
  EXPECT_EQ(SoundDeviceFromEnvironment(), first);
  ::unsetenv("KALVIRA_AUDIO_OUT");
  const std::vector<SoundDeviceInfo> list = first->EnumerateDevices();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].description, "WAV file " + dir.File("env.wav"));
}

}  // namespace
}  // namespace kalvira
