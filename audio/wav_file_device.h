// The WAV-file backend (KALVIRA_AUDIO_OUT=wav:PATH): one playback device that records
// what the output plays, paced in real time, for listening later, bug reports and
// byte-exact checks.
//
// A looping buffer plays by the clock: the frames the sample rate says have been played
// since the buffer was made are taken from it as a sound card would, and appended to the
// file while the buffer plays; a stopped buffer adds nothing (a pause leaves no gap).
// A writer thread ("kalvira-wav-out") does so every 500 ms, and every query of the play
// position, Play and Stop do it first, so the file holds exactly what a device without
// latency would have played, however late the writer wakes. Runs in the same format
// append to the same file; a run in another format closes it and starts PATH with "-2",
// "-3"... put before the extension. The header is brought up to date at the end of every
// run, so the file is a complete WAV file whenever no run is in progress.
//
// Threads: as SoundDevice. One buffer at a time: a second concurrent buffer is refused
// with kSoundErrAllocated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/sound_device.h"

namespace kalvira {

// The writer thread's period. Every query of the play position catches up as well, so
// while an output runs the file grows at its polling rhythm; the thread only keeps the
// file growing when nobody looks.
inline constexpr std::uint32_t kWavWriterPeriodMs = 500;

// Error code of a WAV file that cannot be created.
inline constexpr SoundResult kSoundErrAccessDenied = 0x80070005;

}  // namespace kalvira
