// The sound output: plays its input through a looping buffer of the sound device
// (sound_device.h). Each run opens the device, creates a buffer of FramesInBuffer sample
// frames in the input's format, and then, one Step per polling interval, measures what
// the device has played and refills that part from the input; at the end of the input it
// plays the buffer out and stops. Pause and Resume stop and restart the sound at once.
//
// Threads: Setup, Step and Teardown run on the output's worker thread (au_output.h);
// the properties, Pause and Resume belong to the user-interface thread. Properties are
// atomics read by the worker at the start of a run (FramesInBuffer is ignored while a run
// is in progress). OnUnderrun runs on the user-interface thread like every engine event.
//
// Ownership: the output shares the SoundDevice; by default the one KALVIRA_AUDIO_OUT
// chooses (PortAudio unless told otherwise). The device list is read once, at
// construction.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/au_output.h"
#include "audio/dsound_wrapper.h"
#include "audio/sound_device.h"
#include "base/mutex.h"

namespace kalvira {

// The output's own message texts.
namespace dx_messages {
inline constexpr const char* kInvalidDeviceNumber = "Invalid device number";
inline constexpr const char* kFailedToCreateDevice = "Failed to create DirectSound device";
// Followed directly by the result code in 8 upper-case hexadecimal digits.
inline constexpr const char* kFailedToCreateBuffer = "Failed to create DirectSound buffer";
inline constexpr const char* kAudioOutputError = "Audio output error";
}  // namespace dx_messages

class TAuInput;

class TDXAudioOut : public TAuOutput {
 public:
  static constexpr int kMaxDevices = 16;
  static constexpr std::size_t kMaxDescriptionChars = 127;  // UTF-16 units
  static constexpr std::uint32_t kDefaultFramesInBuffer = 24576;
  static constexpr std::uint32_t kDefaultPollingInterval = 100;
  // Read ahead from the input during each wait.
  static constexpr std::uint32_t kPrefetchBytes = 18432;
  // The play-out waits in steps of this many milliseconds.
  static constexpr std::uint32_t kPlayOutStepMs = 100;
  // Waits in a row without room before a run gives up with "Audio output error".
  static constexpr int kMaxWaitsWithoutRoom = 16;

  explicit TDXAudioOut(std::shared_ptr<SoundDevice> device = SoundDeviceFromEnvironment());
  ~TDXAudioOut() override;

  // Index into DeviceList; checked when a run starts.
  std::int32_t DeviceNumber() const { return device_number_.load(); }
  void SetDeviceNumber(std::int32_t number) { device_number_.store(number); }
  // Sample frames in the device buffer; a change while the output is busy is ignored.
  std::uint32_t FramesInBuffer() const { return frames_in_buffer_.load(); }
  void SetFramesInBuffer(std::uint32_t frames);
  // Milliseconds per Step; only the low 16 bits count.
  std::uint32_t PollingInterval() const { return polling_interval_.load(); }
  void SetPollingInterval(std::uint32_t ms) { polling_interval_.store(ms); }
  bool PrefetchData() const { return prefetch_data_.load(); }
  void SetPrefetchData(bool prefetch) { prefetch_data_.store(prefetch); }
  // Attenuation in hundredths of a decibel (0 is full volume), applied at the start of
  // every run.
  std::int32_t Volume() const { return volume_.load(); }
  void SetVolume(std::int32_t volume) { volume_.store(volume); }

  void SetOnUnderrun(TUnderrunEvent handler) EXCLUDES(handler_mu_);
  TUnderrunEvent OnUnderrun() const EXCLUDES(handler_mu_);

  // The playback devices found at construction (at most 16; descriptions at most 127
  // characters).
  const std::vector<SoundDeviceInfo>& DeviceList() const { return device_list_; }
  std::int32_t DeviceCount() const { return static_cast<std::int32_t>(device_list_.size()); }

  // The input has delivered its last byte in the current (or last) run.
  bool InputEnded() const { return input_ended_.load(); }

  // Stops the sound at once (unless the input has ended); the buffer keeps its data.
  void Pause() override;
  // Plays on from where the sound stopped; nothing once the input has ended.
  void Resume() override;

  // The length of the play-out at the end of a run: the buffer's duration rounded to whole
  // seconds, but never shorter than the buffer itself (rounded up to whole steps).
  static std::uint32_t PlayOutMs(std::uint32_t transfer_size, std::uint32_t bits_per_sample,
                                 std::uint32_t channels, std::uint32_t sample_rate);

 protected:
  void Setup() override;
  bool Step(bool abort) override;
  void Teardown() override;

 private:
  void EnumerateDevices();
  // Waits one polling interval, reading ahead from the input meanwhile.
  void WaitAndPrefetch(std::uint32_t interval, bool prefetch);
  bool PlayOut();

  const std::shared_ptr<SoundDevice> device_;
  std::vector<SoundDeviceInfo> device_list_;  // constant after construction

  std::atomic<std::int32_t> device_number_{0};
  std::atomic<std::uint32_t> frames_in_buffer_{kDefaultFramesInBuffer};
  std::atomic<std::uint32_t> polling_interval_{kDefaultPollingInterval};
  std::atomic<bool> prefetch_data_{true};
  std::atomic<std::int32_t> volume_{0};

  mutable Mutex handler_mu_;
  TUnderrunEvent on_underrun_ GUARDED_BY(handler_mu_);

  // Written by the worker, read by the user-interface thread.
  std::atomic<bool> input_ended_{false};

  // Worker thread only (the wrapper's own rules are in dsound_wrapper.h).
  DSoundWrapper wrapper_;
  std::uint32_t channels_ = 0;
  std::uint32_t sample_rate_ = 0;
  std::uint32_t bits_per_sample_ = 0;
  std::vector<std::uint8_t> transfer_buffer_;
  std::uint32_t transfer_size_ = 0;
  std::uint8_t silence_byte_ = 0;
  bool first_fill_ = false;
  std::int32_t last_underruns_ = 0;
  TAuInput* run_input_ = nullptr;  // the input whose BeginRun succeeded in this run
  bool released_ = true;
  bool transfer_allocated_ = false;
};

}  // namespace kalvira
