// Whole runs of real MP3 files through TMP3In → TDXAudioOut → the WAV-file device, in
// real time, compared byte for byte with the decoding of the mpg123 command-line tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "audio/dx_audio_out.h"
#include "audio/mp3_in.h"
#include "audio/wav_file_device.h"
#include "base/sync_call.h"
#include "tests/audio/mp3_fixtures.h"
#include "tests/audio/support/simulated_sound_device.h"
#include "tests/audio/wav_test_file.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using testing::Mp3Recipe;

bool PumpUntil(const std::function<bool()>& condition) {
  return kalvira::testing::WaitUntil(
      [&] {
        SyncCallQueue::Instance().RunPending();
        return condition();
      },
      std::chrono::seconds(60));
}

// The WAV file holds exactly the tool's PCM, followed by the silence of the play-out
// (the device plays on until the output stops it) and nothing else.
TEST(SoundOutputMp3Test, WholeRunGivesExactlyTheReferenceDecoding) {
  SyncCallQueue::Instance().BindUiThread();
  const Mp3Recipe recipes[] = {Mp3Recipe(44100, 2, 1.5), Mp3Recipe(22050, 1, 1.2).Bitrate(64),
                               Mp3Recipe(48000, 2, 0.4)};
  for (const Mp3Recipe& recipe : recipes) {
    SCOPED_TRACE(::testing::Message() << recipe.sample_rate << " Hz, " << recipe.channels << " ch");
    kalvira::testing::TempDir dir;
    const std::string mp3 = dir.File("tone.mp3");
    const std::string wav = dir.File("out.wav");
    ASSERT_TRUE(testing::MakeMp3(mp3, recipe));
    const std::optional<std::string> reference = testing::DecodeWithMpg123Tool(mp3);
    ASSERT_TRUE(reference.has_value());
    ASSERT_FALSE(reference->empty());

    int done = 0;
    int underruns = 0;
    {
      TMP3In input;
      input.SetOutputChannels(TChannelsNumber::cnMonoOrStereo);
      input.SetFileName(mp3);
      TDXAudioOut out(MakeWavFileSoundDevice(wav));
      out.SetInput(&input);
      out.SetOnDone([&](TAuOutput*) { ++done; });
      out.SetOnUnderrun([&](TAuOutput*) { ++underruns; });
      out.Run();
      ASSERT_TRUE(PumpUntil([&] { return done == 1; }));
      EXPECT_EQ(out.ErrorText(), "");
    }
    EXPECT_EQ(underruns, 0) << "the machine was too slow to keep the device fed";

    const std::optional<testing::WavContents> contents =
        testing::ParseWav(kalvira::testing::ReadFileBytes(wav));
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->format_tag, 1);
    EXPECT_EQ(contents->fmt_size, 16u);
    EXPECT_EQ(contents->channels, recipe.channels);
    EXPECT_EQ(contents->rate, static_cast<std::uint32_t>(recipe.sample_rate));
    EXPECT_EQ(contents->bits, 16);
    const std::string& played = contents->data;
    ASSERT_GE(played.size(), reference->size());
    const auto mismatch = std::mismatch(reference->begin(), reference->end(), played.begin());
    EXPECT_EQ(mismatch.first, reference->end())
        << "first difference at byte " << (mismatch.first - reference->begin()) << " of "
        << reference->size();
    const auto noise = std::find_if(played.begin() + static_cast<long>(reference->size()),
                                    played.end(), [](char b) { return b != 0; });
    EXPECT_EQ(noise, played.end()) << "sound after the data at byte " << (noise - played.begin());
    EXPECT_EQ(played.size() % contents->block_align, 0u);
  }
}

// A run that fails in set-up before the input starts (no sound device here) still ends
// the input's run: the file that the program's tag reads opened is closed again and the
// sample range, meant for one run only, is gone. A file that another run is playing
// through the same input is left to that run.
TEST(SoundOutputMp3Test, ARunThatFailsInSetUpEndsTheInputsRunUnlessAnotherHoldsIt) {
  SyncCallQueue::Instance().BindUiThread();
  kalvira::testing::TempDir dir;
  const std::string mp3 = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(mp3, Mp3Recipe(44100, 2, 1.0)));
  SimulatedSoundDevice::Options none;
  none.devices = 0;

  TMP3In input;
  input.SetFileName(mp3);
  ASSERT_EQ(input.GetSampleRate(), 44100u);
  ASSERT_EQ(input.OpenCount(), 1);
  input.SetStartSample(4410);
  input.SetEndSample(22050);

  int failed_done = 0;
  TDXAudioOut failing(std::make_shared<SimulatedSoundDevice>(none));
  failing.SetInput(&input);
  failing.SetOnDone([&](TAuOutput*) { ++failed_done; });
  failing.Run();
  ASSERT_TRUE(PumpUntil([&] { return failed_done == 1; }));
  EXPECT_EQ(failing.ErrorText(), "Invalid device number");
  EXPECT_EQ(input.OpenCount(), 0);
  EXPECT_EQ(input.StartSample(), 0);
  EXPECT_EQ(input.EndSample(), -1);
  EXPECT_FALSE(input.Busy());

  // Another output plays the same input, its clock held by the test.
  input.SetStartSample(4410);
  input.SetEndSample(22050);
  const auto device = std::make_shared<SimulatedSoundDevice>();
  device->set_sleep_mode(SimulatedSoundDevice::SleepMode::kWaitForTest);
  int playing_done = 0;
  TDXAudioOut playing(device);
  playing.SetInput(&input);
  playing.SetOnDone([&](TAuOutput*) { ++playing_done; });
  playing.Run();
  ASSERT_TRUE(device->WaitForSleeper(std::chrono::seconds(30)));
  ASSERT_TRUE(input.Busy());
  failing.Run();
  ASSERT_TRUE(PumpUntil([&] { return failed_done == 2; }));
  EXPECT_EQ(failing.ErrorText(), "Invalid device number");
  EXPECT_EQ(input.OpenCount(), 1);
  EXPECT_EQ(input.StartSample(), 4410);
  EXPECT_EQ(input.EndSample(), 22050);
  EXPECT_TRUE(input.Busy());

  device->set_sleep_mode(SimulatedSoundDevice::SleepMode::kAdvanceClock);
  ASSERT_TRUE(PumpUntil([&] { return playing_done == 1; }));
  EXPECT_EQ(playing.ErrorText(), "");
  EXPECT_EQ(input.OpenCount(), 0);
  EXPECT_EQ(input.StartSample(), 0);
  EXPECT_EQ(input.EndSample(), -1);
}

}  // namespace
}  // namespace kalvira
