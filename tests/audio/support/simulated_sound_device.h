// A simulated sound device for tests: a clock the test steps and looping buffers whose
// play position follows that clock exactly. What the buffers play is recorded, and the
// device can misbehave on purpose (refuse to open, stall, fail position queries, refuse
// the volume control).
//
// The output's sleeps go through this clock too. In kAdvanceClock mode a sleep moves the
// clock on by its length at once, so a whole run takes no real time and is exactly
// repeatable. In kWaitForTest mode a sleep blocks until the test has moved the clock far
// enough, which lets a test hold the worker at any wait of a run.
//
// Threads: every method may be called from any thread; one lock guards the device's
// state, and playing (taking frames from the buffers) happens under it, so the clock
// is the buffers' one consumer.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/sound_device.h"
#include "base/mutex.h"

namespace kalvira {

class SimulatedSoundBuffer;

class SimulatedSoundDevice final : public SoundDevice {
 public:
  struct Options {
    // Entries of the device list; the first has the all-zero identifier.
    int devices = 1;
    // While playing, the write position runs this many frames ahead of the play position.
    std::uint32_t lead_frames = 0;
    // Counter ticks per second; 0 simulates a machine without a high-resolution counter.
    std::int64_t performance_frequency = 1'000'000'000;
    // Appended to every description.
    std::string description_suffix;
  };
  enum class SleepMode { kAdvanceClock, kWaitForTest };

  SimulatedSoundDevice() : SimulatedSoundDevice(Options{}) {}
  explicit SimulatedSoundDevice(const Options& options);
  ~SimulatedSoundDevice() override;

  // SoundDevice.
  std::vector<SoundDeviceInfo> EnumerateDevices() override;
  SoundResult CreateEndpoint(const SoundDeviceId& id,
                             std::unique_ptr<SoundEndpoint>* endpoint) override;
  std::int64_t PerformanceFrequency() override;
  std::int64_t PerformanceCounter() override;
  std::uint32_t Milliseconds() override;
  void SleepMilliseconds(std::uint32_t ms) override;

  // The clock.
  void set_sleep_mode(SleepMode mode);
  // Moves the clock on; playing buffers play the frames the time covers, and sleepers
  // whose time has come wake up.
  void AdvanceClock(std::chrono::nanoseconds step);
  std::int64_t now_ns();
  // Sleeps made so far (their lengths, in order), and whether one waits for the test to
  // move the clock.
  std::vector<std::uint32_t> sleeps();
  bool sleeper_waiting();
  // Waits up to `timeout` (real time) for a sleep that waits for the test.
  bool WaitForSleeper(std::chrono::milliseconds timeout);
  // Waits up to `timeout` for a sleep that waits for the test and moves the clock to
  // exactly where that sleep ends. False when no sleep came.
  bool AdvanceToNextWake(std::chrono::milliseconds timeout);

  // Faults, in force until changed.
  void FailCreateEndpoint(SoundResult result);
  void FailSetFormat(SoundResult result);
  void FailCreateBuffer(SoundResult result);
  void FailPositionQueries(bool fail);
  void RefuseVolume(bool refuse);
  // A stalled buffer keeps its play position however the clock moves.
  void Stall(bool stall);

  // Observation.
  struct BufferState {
    bool exists = false;
    bool playing = false;
    std::uint32_t play = 0;
    std::uint32_t write = 0;
    std::uint32_t size = 0;
    std::int32_t volume = 0;
    WaveFormat format{};
  };
  BufferState buffer_state();
  // Every byte any buffer has played, in order.
  std::vector<std::uint8_t> played();
  int buffers_created();
  std::vector<SoundDeviceId> endpoints_opened();
  // The bytes of the live buffer (what a Lock of the whole buffer would see).
  std::vector<std::uint8_t> buffer_contents();

 private:
  friend class SimulatedSoundBuffer;
  friend class SimulatedEndpoint;

  SoundResult CreateBufferLocked(const WaveFormat& format, std::uint32_t size,
                                 std::unique_ptr<SoundBuffer>* buffer) EXCLUDES(mu_);
  void ForgetBuffer(SimulatedSoundBuffer* buffer) EXCLUDES(mu_);
  void AdvanceLocked(std::int64_t step_ns) REQUIRES(mu_);
  // A sleep waits for the clock to reach its end.
  bool PendingSleeperLocked() REQUIRES(mu_);

  const Options options_;
  Mutex mu_;
  CondVar clock_moved_;
  SleepMode sleep_mode_ GUARDED_BY(mu_) = SleepMode::kAdvanceClock;
  std::int64_t now_ns_ GUARDED_BY(mu_) = 0;
  std::vector<std::uint32_t> sleeps_ GUARDED_BY(mu_);
  std::vector<std::int64_t> wake_times_ GUARDED_BY(mu_);  // of the sleeps waiting
  SoundResult fail_endpoint_ GUARDED_BY(mu_) = kSoundOk;
  SoundResult fail_set_format_ GUARDED_BY(mu_) = kSoundOk;
  SoundResult fail_buffer_ GUARDED_BY(mu_) = kSoundOk;
  bool stall_ GUARDED_BY(mu_) = false;
  SimulatedSoundBuffer* buffer_ GUARDED_BY(mu_) = nullptr;
  std::vector<std::uint8_t> played_ GUARDED_BY(mu_);
  std::vector<std::uint8_t> scratch_ GUARDED_BY(mu_);
  int buffers_created_ GUARDED_BY(mu_) = 0;
  std::vector<SoundDeviceId> endpoints_opened_ GUARDED_BY(mu_);
  // Read by the buffers without the device lock.
  std::atomic<bool> fail_positions_{false};
  std::atomic<bool> refuse_volume_{false};
};

}  // namespace kalvira
