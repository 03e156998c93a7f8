// The WAV-file backend (KALVIRA_AUDIO_OUT=wav:PATH): one playback device that records
// what the output plays, paced in real time, for listening later, bug reports and
// byte-exact checks.
//
// Each looping buffer has a writer thread ("kalvira-wav-out") that wakes every 100 ms and
// takes from the buffer the frames the sample rate says have been played since, as a
// sound card would; what a playing buffer gives is appended to the file, a stopped
// buffer adds nothing (a pause leaves no gap). Runs in the same format append to the
// same file; a run in another format closes it and starts PATH with "-2", "-3"... put
// before the extension. The header is brought up to date at the end of every run, so
// the file is a complete WAV file whenever no run is in progress.
//
// Threads: as SoundDevice. One buffer at a time: a second concurrent buffer is refused
// with kSoundErrAllocated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/sound_device.h"

namespace kalvira {

inline constexpr std::uint32_t kWavWriterPeriodMs = 100;

// Error code of a WAV file that cannot be created.
inline constexpr SoundResult kSoundErrAccessDenied = 0x80070005;

}  // namespace kalvira
