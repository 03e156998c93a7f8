// The sound output over the simulated device: whole runs, the numbers of a run (buffer
// size, play-out, waits without room), failures at every step of the set-up, underruns,
// pause and resume, and stops during the play-out.
#include "audio/dx_audio_out.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/sync_call.h"
#include "base/text.h"
#include "tests/audio/pcm_test_input.h"
#include "tests/audio/support/simulated_sound_device.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using std::chrono::milliseconds;
using testing::PatternPcm;
using testing::PcmTestInput;
using Mode = SimulatedSoundDevice::SleepMode;

constexpr auto kDeadline = std::chrono::seconds(60);

// Runs the synchronized calls of the engine (OnDone and friends) on this, the
// user-interface thread, until `condition` holds.
bool PumpUntil(const std::function<bool()>& condition) {
  return kalvira::testing::WaitUntil(
      [&] {
        SyncCallQueue::Instance().RunPending();
        return condition();
      },
      kDeadline);
}

// An input wired to an output on a simulated device, with the events counted.
struct Chain {
  Chain(std::uint32_t channels, std::uint32_t rate, std::uint32_t bits,
        std::vector<std::uint8_t> data, SimulatedSoundDevice::Options options = {})
      : device(std::make_shared<SimulatedSoundDevice>(options)),
        input(channels, rate, bits, std::move(data)),
        out(device) {
    out.SetInput(&input);
    out.SetOnDone([this](TAuOutput*) { ++done; });
    out.SetOnThreadException([this](TAuOutput* sender) { errors.push_back(sender->ErrorText()); });
    out.SetOnUnderrun([this](TAuOutput*) { ++underruns; });
  }
  // Runs to the end with the clock moving by itself.
  void RunToEnd() {
    const int before = done;
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return done > before; }));
  }
  // Stops without waiting for the test's clock any more.
  void StopNow() {
    device->set_sleep_mode(SimulatedSoundDevice::SleepMode::kAdvanceClock);
    out.Stop(false);
  }
  std::uint8_t silence() { return input.GetBitsPerSample() == 8 ? 128 : 0; }

  std::shared_ptr<SimulatedSoundDevice> device;
  PcmTestInput input;
  TDXAudioOut out;
  int done = 0;
  int underruns = 0;
  std::vector<std::string> errors;
};

// Moves the simulated clock to the end of every sleep of the worker, on a thread of its
// own, so that the test thread is free to call Pause and Resume.
class ClockDriver {
 public:
  explicit ClockDriver(SimulatedSoundDevice& device)
      : thread_([this, &device] {
          while (!quit_.load()) device.AdvanceToNextWake(milliseconds(20));
        }) {}
  ~ClockDriver() {
    quit_.store(true);
    thread_.join();
  }

 private:
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

// After the data, only silence: checks that `played` starts with all of `data`.
void ExpectDataThenSilence(const std::vector<std::uint8_t>& played,
                           const std::vector<std::uint8_t>& data, std::uint8_t silence) {
  ASSERT_GE(played.size(), data.size());
  const auto mismatch = std::mismatch(data.begin(), data.end(), played.begin());
  EXPECT_EQ(mismatch.first, data.end())
      << "first difference at byte " << (mismatch.first - data.begin()) << " of " << data.size();
  const auto noise = std::find_if(played.begin() + static_cast<long>(data.size()), played.end(),
                                  [silence](std::uint8_t b) { return b != silence; });
  EXPECT_EQ(noise, played.end()) << "not silence at byte " << (noise - played.begin());
}

class DXAudioOutTest : public ::testing::Test {
 protected:
  void SetUp() override { SyncCallQueue::Instance().BindUiThread(); }
};

TEST_F(DXAudioOutTest, DeviceListHoldsTheFirstSixteenDevices) {
  SimulatedSoundDevice::Options options;
  options.devices = 20;
  // 200 Cyrillic letters: the description is cut to 127 characters.
  for (int i = 0; i < 200; ++i) options.description_suffix += "ж";
  Chain chain(2, 44100, 16, PatternPcm(4410, 2, 16), options);
  ASSERT_EQ(chain.out.DeviceCount(), 16);
  EXPECT_EQ(chain.out.DeviceList()[0].id, SoundDeviceId{});
  EXPECT_NE(chain.out.DeviceList()[1].id, SoundDeviceId{});
  EXPECT_EQ(Utf8ToUtf16(chain.out.DeviceList()[0].description).size(), 127u);
  EXPECT_EQ(chain.out.DeviceList()[15].description.rfind("Simulated device 15ж", 0), 0u);

  chain.out.SetDeviceNumber(15);
  chain.RunToEnd();
  EXPECT_EQ(chain.out.ErrorText(), "");
  ASSERT_EQ(chain.device->endpoints_opened().size(), 1u);
  EXPECT_EQ(chain.device->endpoints_opened()[0], chain.out.DeviceList()[15].id);
}

TEST_F(DXAudioOutTest, DefaultsAreTheStoredSettings) {
  Chain chain(2, 44100, 16, {});
  EXPECT_EQ(chain.out.DeviceNumber(), 0);
  EXPECT_EQ(chain.out.FramesInBuffer(), 24576u);
  EXPECT_EQ(chain.out.PollingInterval(), 100u);
  EXPECT_TRUE(chain.out.PrefetchData());
  EXPECT_EQ(chain.out.Volume(), 0);
}

TEST_F(DXAudioOutTest, InvalidDeviceNumberEndsTheRunBeforeTheInputStarts) {
  struct Case {
    int devices;
    std::int32_t number;
  };
  for (const Case c : {Case{0, 0}, Case{1, 1}, Case{1, -1}, Case{3, 3}}) {
    SCOPED_TRACE(::testing::Message() << c.devices << " devices, number " << c.number);
    SimulatedSoundDevice::Options options;
    options.devices = c.devices;
    Chain chain(2, 44100, 16, PatternPcm(4410, 2, 16), options);
    chain.out.SetDeviceNumber(c.number);
    chain.RunToEnd();
    EXPECT_EQ(chain.out.ErrorText(), "Invalid device number");
    EXPECT_EQ(chain.errors, std::vector<std::string>{"Invalid device number"});
    EXPECT_EQ(chain.input.begun(), 0);
    EXPECT_EQ(chain.input.ended(), 0);
    EXPECT_TRUE(chain.device->endpoints_opened().empty());
    EXPECT_FALSE(chain.out.Busy());
  }
}

TEST_F(DXAudioOutTest, SetupFailuresEndTheRunAndFinishTheInput) {
  struct Case {
    const char* what;
    void (*fault)(SimulatedSoundDevice&);
    const char* message;
    int buffers;
  };
  const Case cases[] = {
      {"device", [](SimulatedSoundDevice& d) { d.FailCreateEndpoint(kSoundErrNoDriver); },
       "Failed to create DirectSound device", 0},
      {"device format", [](SimulatedSoundDevice& d) { d.FailSetFormat(kSoundErrBadFormat); },
       "Failed to create DirectSound buffer88780064", 0},
      {"buffer", [](SimulatedSoundDevice& d) { d.FailCreateBuffer(kSoundErrOutOfMemory); },
       "Failed to create DirectSound buffer8007000E", 0},
      {"position", [](SimulatedSoundDevice& d) { d.FailPositionQueries(true); },
       "Failed to create DirectSound buffer80004005", 1},
      {"volume", [](SimulatedSoundDevice& d) { d.RefuseVolume(true); }, "Control not available", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Chain chain(2, 44100, 16, PatternPcm(44100, 2, 16));
    c.fault(*chain.device);
    chain.RunToEnd();
    EXPECT_EQ(chain.out.ErrorText(), c.message);
    EXPECT_EQ(chain.errors, std::vector<std::string>{c.message});
    EXPECT_EQ(chain.done, 1);
    EXPECT_EQ(chain.input.begun(), 1);
    EXPECT_EQ(chain.input.ended(), 1);
    EXPECT_EQ(chain.device->buffers_created(), c.buffers);
    EXPECT_FALSE(chain.device->buffer_state().exists);
  }
}

TEST_F(DXAudioOutTest, InputThatFailsToStartEndsTheRun) {
  Chain chain(2, 44100, 16, PatternPcm(4410, 2, 16));
  chain.input.FailBegin("No such file or directory");
  chain.RunToEnd();
  EXPECT_EQ(chain.out.ErrorText(), "No such file or directory");
  EXPECT_EQ(chain.input.ended(), 0);
  EXPECT_TRUE(chain.device->endpoints_opened().empty());
}

TEST_F(DXAudioOutTest, BadFormatOrSizeFailsAsABufferTheDeviceRefuses) {
  {
    Chain chain(2, 44100, 12, PatternPcm(4410, 2, 16));
    chain.RunToEnd();
    EXPECT_EQ(chain.out.ErrorText(), "Failed to create DirectSound buffer88780064");
  }
  {
    Chain chain(2, 44100, 16, PatternPcm(4410, 2, 16));
    chain.out.SetFramesInBuffer(0);
    chain.RunToEnd();
    EXPECT_EQ(chain.out.ErrorText(), "Failed to create DirectSound buffer80070057");
  }
  {
    // Far more than any device buffer: refused before anything is allocated.
    Chain chain(8, 48000, 32, PatternPcm(4410, 8, 32));
    chain.out.SetFramesInBuffer(0xFFFFFFFF);
    chain.RunToEnd();
    EXPECT_EQ(chain.out.ErrorText(), "Failed to create DirectSound buffer80070057");
    EXPECT_EQ(chain.input.ended(), 1);
  }
}

TEST_F(DXAudioOutTest, WaveFormatFollowsTheInput) {
  struct Case {
    std::uint32_t channels;
    std::uint32_t bits;
    std::uint16_t tag;
    std::uint16_t cb_size;
    std::uint32_t mask;
  };
  const Case cases[] = {
      {1, 8, 1, 0, 0},           {1, 16, 1, 0, 0},          {2, 16, 1, 0, 0},
      {2, 24, 0xFFFE, 22, 0x3},  {1, 24, 0xFFFE, 22, 0},    {3, 16, 0xFFFE, 22, 0},
      {6, 16, 0xFFFE, 22, 0x3F}, {8, 32, 0xFFFE, 22, 0xFF}, {2, 32, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.channels << " channels, " << c.bits << " bits");
    Chain chain(c.channels, 32000, c.bits, PatternPcm(100000, c.channels, c.bits));
    chain.device->set_sleep_mode(Mode::kWaitForTest);
    chain.out.Run();
    ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
    const SimulatedSoundDevice::BufferState state = chain.device->buffer_state();
    EXPECT_EQ(state.format.format_tag, c.tag);
    EXPECT_EQ(state.format.cb_size, c.cb_size);
    EXPECT_EQ(state.format.channel_mask, c.mask);
    EXPECT_EQ(state.format.valid_bits, 0);
    EXPECT_EQ(state.format.channels, c.channels);
    EXPECT_EQ(state.format.samples_per_sec, 32000u);
    EXPECT_EQ(state.format.block_align, c.channels * c.bits / 8);
    EXPECT_EQ(state.format.avg_bytes_per_sec, c.channels * c.bits / 8 * 32000);
    EXPECT_EQ(state.size, 24576 * c.channels * c.bits / 8);
    EXPECT_TRUE(state.playing);
    chain.StopNow();
  }
}

TEST_F(DXAudioOutTest, PlayOutLastsAtLeastTheBuffer) {
  struct Case {
    std::uint32_t rate;
    std::uint32_t channels;
    std::uint32_t ms;
  };
  // 24576 frames: the buffer's duration rounded to seconds (halves to even), and where
  // that is shorter than the buffer, the buffer's duration rounded up to 100 ms.
  const Case cases[] = {
      {44100, 2, 1000},                    // 0.557 s
      {44100, 1, 1000}, {48000, 2, 1000},  // 0.512 s
      {32000, 2, 1000},                    // 0.768 s
      {16000, 1, 2000},                    // 1.536 s
      {22050, 2, 1200},                    // 1.115 s would round to 1
      {24000, 2, 1100},                    // 1.024 s
      {11025, 1, 2300},                    // 2.229 s
      {8000, 1, 3100},                     // 3.072 s
      {49152, 2, 500},                     // exactly 0.5 s, which rounds to 0
      {96000, 2, 300},                     // 0.256 s
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.rate << " Hz");
    EXPECT_EQ(TDXAudioOut::PlayOutMs(24576 * 2 * c.channels, 16, c.channels, c.rate), c.ms);
  }
  EXPECT_EQ(TDXAudioOut::PlayOutMs(98304, 0, 2, 44100), 0u);
}

// Every byte of the input is played, in order, then silence; the clock runs by itself.
TEST_F(DXAudioOutTest, WholeRunsPlayEveryByte) {
  struct Case {
    std::uint32_t channels;
    std::uint32_t rate;
    std::uint32_t bits;
    double seconds;
    std::uint32_t lead_frames;
  };
  const Case cases[] = {
      {2, 44100, 16, 3.3, 441},
      {1, 44100, 16, 2.0, 0},
      {2, 48000, 16, 1.7, 1024},
      {1, 22050, 16, 4.0, 220},
      {2, 22050, 16, 0.9, 0},
      {1, 8000, 8, 5.1, 80},
      {2, 96000, 24, 1.3, 960},
      {2, 44100, 16, 0.25, 441},
      {1, 11025, 16, 0.01, 0},
      // Shorter than one polling interval: played once, however long the play-out.
      {2, 44100, 16, 0.05, 441},
      {1, 22050, 8, 0.02, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.channels << " ch " << c.rate << " Hz " << c.bits
                                      << " bits, " << c.seconds << " s");
    SimulatedSoundDevice::Options options;
    options.lead_frames = c.lead_frames;
    const auto frames = static_cast<std::size_t>(c.seconds * c.rate);
    Chain chain(c.channels, c.rate, c.bits, PatternPcm(frames, c.channels, c.bits), options);
    chain.RunToEnd();
    EXPECT_EQ(chain.out.ErrorText(), "");
    EXPECT_EQ(chain.underruns, 0);
    EXPECT_TRUE(chain.out.InputEnded());
    EXPECT_EQ(chain.input.ended(), 1);
    const std::vector<std::uint8_t> played = chain.device->played();
    ExpectDataThenSilence(played, chain.input.data(), chain.silence());
    // The play-out adds at most its own length of silence.
    const std::uint32_t block = c.channels * c.bits / 8;
    const std::uint32_t play_out =
        TDXAudioOut::PlayOutMs(24576 * block, c.bits, c.channels, c.rate);
    EXPECT_LE(played.size() - chain.input.data().size(),
              std::size_t{play_out} * c.rate / 1000 * block + block);
    EXPECT_FALSE(chain.device->buffer_state().exists);
  }
}

// A file shorter than one buffer: the first step writes it all, starts playback and
// plays out at once, in 100 ms waits with no polling wait before them.
TEST_F(DXAudioOutTest, ShortInputPlaysOutInTheFirstStep) {
  Chain chain(2, 44100, 16, PatternPcm(11025, 2, 16));
  chain.RunToEnd();
  EXPECT_EQ(chain.device->sleeps(), std::vector<std::uint32_t>(10, 100));
  ExpectDataThenSilence(chain.device->played(), chain.input.data(), 0);
}

// Each step waits one polling interval and refills what was played: 17640 bytes at
// 16-bit stereo 44100 Hz.
TEST_F(DXAudioOutTest, StepsWaitOneIntervalAndRefillWhatWasPlayed) {
  Chain chain(2, 44100, 16, PatternPcm(44100 * 3, 2, 16));
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  for (int step = 0; step < 5; ++step) {
    ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
    ASSERT_TRUE(chain.device->AdvanceToNextWake(kDeadline));
  }
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  // First fill 98304 bytes, then five refills of 17640 bytes each (what is read ahead
  // counts once it is delivered).
  EXPECT_EQ(chain.input.Position(), 98304 + 5 * 17640);
  EXPECT_EQ(chain.device->sleeps(), std::vector<std::uint32_t>(6, 100));
  chain.StopNow();
}

TEST_F(DXAudioOutTest, PollingIntervalUsesItsLowSixteenBits) {
  Chain chain(2, 44100, 16, PatternPcm(44100 * 3, 2, 16));
  chain.out.SetPollingInterval(0x10000 + 40);
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  EXPECT_EQ(chain.device->sleeps(), std::vector<std::uint32_t>{40});
  chain.StopNow();
}

// A device that never makes room: the run ends after the seventeenth wait.
TEST_F(DXAudioOutTest, SeventeenWaitsWithoutRoomEndTheRun) {
  for (const bool fail_queries : {false, true}) {
    SCOPED_TRACE(fail_queries ? "position queries fail" : "device stalls");
    Chain chain(2, 44100, 16, PatternPcm(44100 * 5, 2, 16));
    chain.device->Stall(true);
    chain.device->set_sleep_mode(Mode::kWaitForTest);
    chain.out.Run();
    ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
    if (fail_queries) chain.device->FailPositionQueries(true);
    int waits = 0;
    while (chain.device->AdvanceToNextWake(milliseconds(500))) ++waits;
    EXPECT_EQ(waits, 17);
    ASSERT_TRUE(PumpUntil([&] { return chain.done == 1; }));
    EXPECT_EQ(chain.out.ErrorText(), "Audio output error");
    EXPECT_EQ(chain.errors, std::vector<std::string>{"Audio output error"});
    EXPECT_EQ(chain.input.ended(), 1);
  }
}

// Sixteen waits without room followed by room: the run goes on.
TEST_F(DXAudioOutTest, RoomAtTheSeventeenthWaitDoesNotSaveTheRunButAtTheSixteenthDoes) {
  for (const int stalled_waits : {16, 17}) {
    SCOPED_TRACE(stalled_waits);
    Chain chain(2, 44100, 16, PatternPcm(44100 * 5, 2, 16));
    chain.device->Stall(true);
    chain.device->set_sleep_mode(Mode::kWaitForTest);
    chain.out.Run();
    for (int i = 0; i < stalled_waits - 1; ++i) {
      ASSERT_TRUE(chain.device->AdvanceToNextWake(kDeadline));
    }
    ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
    chain.device->Stall(false);
    ASSERT_TRUE(chain.device->AdvanceToNextWake(kDeadline));
    if (stalled_waits == 16) {
      // The next step's wait comes: the run is alive.
      ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
      EXPECT_EQ(chain.out.ErrorText(), "");
      chain.StopNow();
    } else {
      ASSERT_TRUE(PumpUntil([&] { return chain.done == 1; }));
      EXPECT_EQ(chain.out.ErrorText(), "Audio output error");
    }
  }
}

TEST_F(DXAudioOutTest, UnderrunIsReportedSilencedAndTheRunGoesOn) {
  SimulatedSoundDevice::Options options;
  options.lead_frames = 441;
  Chain chain(2, 44100, 16, PatternPcm(44100 * 4, 2, 16), options);
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  ASSERT_TRUE(chain.device->AdvanceToNextWake(kDeadline));
  // The worker is late by more than a whole buffer.
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  chain.device->AdvanceClock(milliseconds(800));
  chain.device->set_sleep_mode(Mode::kAdvanceClock);
  ASSERT_TRUE(PumpUntil([&] { return chain.done == 1; }));
  EXPECT_EQ(chain.underruns, 1);
  EXPECT_EQ(chain.out.ErrorText(), "");
  EXPECT_EQ(chain.input.ended(), 1);
}

// Pause stops the sound at once and Resume plays on from exactly there: no byte lost or
// played twice, however long the pause.
TEST_F(DXAudioOutTest, PauseAndResumeContinueExactlyWhereTheSoundStopped) {
  SimulatedSoundDevice::Options options;
  options.lead_frames = 441;
  Chain chain(2, 44100, 16, PatternPcm(44100 * 30, 2, 16), options);
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  for (const auto pause : {milliseconds(0), milliseconds(300), milliseconds(20000)}) {
    SCOPED_TRACE(pause.count());
    {
      ClockDriver driver(*chain.device);
      const std::size_t target = chain.device->sleeps().size() + 20;
      ASSERT_TRUE(kalvira::testing::WaitUntil(
          [&] { return chain.device->sleeps().size() >= target; }, kDeadline));
      chain.out.Pause();
    }
    ASSERT_TRUE(chain.out.Thread().Paused());
    EXPECT_FALSE(chain.device->buffer_state().playing);
    const std::size_t played = chain.device->played().size();
    chain.device->AdvanceClock(pause);
    EXPECT_EQ(chain.device->played().size(), played);
    chain.out.Resume();
    EXPECT_TRUE(chain.device->buffer_state().playing);
  }
  chain.device->set_sleep_mode(Mode::kAdvanceClock);
  ASSERT_TRUE(PumpUntil([&] { return chain.done == 1; }));
  EXPECT_EQ(chain.underruns, 0);
  ExpectDataThenSilence(chain.device->played(), chain.input.data(), 0);
}

// A stop while the buffer plays out ends the run at the next play-out step, so the
// start-a-file sequence (stop, 300 ms, run) never finds the output busy.
TEST_F(DXAudioOutTest, StopDuringThePlayOutEndsTheRunWithinOneStep) {
  Chain chain(2, 44100, 16, PatternPcm(44100 / 4, 2, 16));
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  // The input is shorter than the buffer: the first step plays out.
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  ASSERT_TRUE(chain.out.InputEnded());
  ASSERT_TRUE(chain.device->AdvanceToNextWake(kDeadline));
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  chain.out.Stop(true);
  ASSERT_TRUE(chain.device->AdvanceToNextWake(kDeadline));
  ASSERT_TRUE(PumpUntil([&] { return chain.done == 1; }));
  EXPECT_EQ(chain.device->sleeps().size(), 2u);  // of the ten the play-out would take
  EXPECT_FALSE(chain.device->sleeper_waiting());
  EXPECT_FALSE(chain.device->buffer_state().exists);
  EXPECT_EQ(chain.out.ErrorText(), "");
  // The next file starts at once.
  chain.device->set_sleep_mode(Mode::kAdvanceClock);
  chain.out.Run();
  ASSERT_TRUE(PumpUntil([&] { return chain.done == 2; }));
  EXPECT_EQ(chain.input.begun(), 2);
}

// A stop while playing silences the device at the next step.
TEST_F(DXAudioOutTest, StopWhilePlayingSilencesAtTheNextStep) {
  Chain chain(2, 44100, 16, PatternPcm(44100 * 10, 2, 16));
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(chain.device->AdvanceToNextWake(kDeadline));
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  chain.out.Stop(true);
  ASSERT_TRUE(chain.device->AdvanceToNextWake(kDeadline));
  ASSERT_TRUE(PumpUntil([&] { return chain.done == 1; }));
  EXPECT_EQ(chain.device->sleeps().size(), 4u);
  EXPECT_FALSE(chain.out.InputEnded());
  EXPECT_EQ(chain.input.ended(), 1);
}

// Pause during the play-out finds no pause wait: after the time limit the buffer plays
// on, and Resume does nothing.
TEST_F(DXAudioOutTest, PauseDuringThePlayOutLeavesTheBufferPlaying) {
  Chain chain(2, 44100, 16, PatternPcm(44100 / 4, 2, 16));
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  ASSERT_TRUE(chain.out.InputEnded());
  chain.out.Pause();  // the worker never acknowledges: returns after its time limit
  EXPECT_TRUE(chain.device->buffer_state().playing);
  chain.out.Resume();
  EXPECT_TRUE(chain.device->buffer_state().playing);
  chain.device->set_sleep_mode(Mode::kAdvanceClock);
  ASSERT_TRUE(PumpUntil([&] { return chain.done == 1; }));
  ExpectDataThenSilence(chain.device->played(), chain.input.data(), 0);
}

TEST_F(DXAudioOutTest, FramesInBufferKeepsItsValueDuringARun) {
  Chain chain(2, 44100, 16, PatternPcm(44100 * 3, 2, 16));
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  chain.out.SetFramesInBuffer(4096);
  EXPECT_EQ(chain.out.FramesInBuffer(), 24576u);
  EXPECT_EQ(chain.device->buffer_state().size, 98304u);
  chain.StopNow();
  chain.out.SetFramesInBuffer(4096);
  EXPECT_EQ(chain.out.FramesInBuffer(), 4096u);
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.Run();
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  EXPECT_EQ(chain.device->buffer_state().size, 16384u);
  chain.StopNow();
}

TEST_F(DXAudioOutTest, VolumeIsAppliedAtTheStartOfEveryRun) {
  Chain chain(2, 44100, 16, PatternPcm(44100 * 3, 2, 16));
  chain.device->set_sleep_mode(Mode::kWaitForTest);
  chain.out.SetVolume(-1500);
  chain.out.Run();
  ASSERT_TRUE(chain.device->WaitForSleeper(kDeadline));
  EXPECT_EQ(chain.device->buffer_state().volume, -1500);
  chain.StopNow();
}

TEST_F(DXAudioOutTest, NoPlaybackDeviceEndsEveryRunWithInvalidDeviceNumber) {
  auto none = MakeNoSoundDevice();
  PcmTestInput input(2, 44100, 16, PatternPcm(4410, 2, 16));
  TDXAudioOut out(none);
  int done = 0;
  out.SetInput(&input);
  out.SetOnDone([&](TAuOutput*) { ++done; });
  EXPECT_EQ(out.DeviceCount(), 0);
  for (int run = 1; run <= 2; ++run) {
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return done == run; }));
    EXPECT_EQ(out.ErrorText(), "Invalid device number");
  }
}

}  // namespace
}  // namespace kalvira
