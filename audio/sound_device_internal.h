// Internal to audio/: what the real-time backends share.
#pragma once

#include "audio/sound_device.h"

namespace kalvira {

// The steady clock of the machine: nanosecond counter, millisecond clock, real sleeps.
class RealClockSoundDevice : public SoundDevice {
 public:
  std::int64_t PerformanceFrequency() override;
  std::int64_t PerformanceCounter() override;
  std::uint32_t Milliseconds() override;
  void SleepMilliseconds(std::uint32_t ms) override;
};

}  // namespace kalvira
