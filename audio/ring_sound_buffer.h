// Internal to audio/: the looping buffer every backend shares. The output writes into
// it; one consumer (the PortAudio callback, the WAV writer thread, the simulated clock)
// takes sample frames from the play position onwards, as a sound card does.
//
// Threads: the SoundBuffer operations come from the output's worker thread, Play and
// Stop also from the user-interface thread. ConsumeFrames comes from exactly one
// consumer thread and never locks, allocates or blocks: everything the two sides share
// is atomic, and the positions only move by compare-and-swap from the value read.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/sound_device.h"

namespace kalvira {

class RingSoundBuffer : public SoundBuffer {
 public:
  // `lead_frames`: how far ahead of the play position the consumer may already have taken
  // data while playing; the write position reported is that far ahead.
  // REQUIRES: format.IsPlayablePcm(), size a non-zero multiple of format.block_align.
  RingSoundBuffer(const WaveFormat& format, std::uint32_t size, std::uint32_t lead_frames);

  std::uint32_t Size() const override { return size_; }
  SoundResult GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) override;
  SoundResult SetCurrentPosition(std::uint32_t play) override;
  SoundResult Lock(std::uint32_t offset, std::uint32_t count, SoundRegion* region) override;
  SoundResult Unlock(const SoundRegion& region) override;
  SoundResult Play() override;
  SoundResult Stop() override;
  SoundResult SetVolume(std::int32_t hundredths_db) override;

  bool playing() const { return playing_.load(std::memory_order_acquire); }
  const WaveFormat& format() const { return format_; }
  std::uint32_t block_align() const { return block_align_; }

  // Consumer side. Writes `frames` sample frames into `out`: the buffer's data from the
  // play position on (with the volume applied) while playing, silence while stopped.
  // Returns the frames taken from the buffer (0 while stopped).
  std::uint32_t ConsumeFrames(std::uint8_t* out, std::uint32_t frames);

 private:
  void ApplyGain(std::uint8_t* data, std::uint32_t bytes, double gain) const;

  // Constant after construction.
  const WaveFormat format_;
  const std::uint32_t size_;
  const std::uint32_t block_align_;
  const std::uint32_t lead_bytes_;
  const std::uint8_t silence_;
  SoundBytes data_;

  // Shared between the output and the consumer.
  std::atomic<std::uint32_t> play_pos_{0};
  std::atomic<bool> playing_{false};
  std::atomic<std::int32_t> volume_{0};
  // Bumped by Unlock (release) and read by the consumer (acquire), so the data written
  // before an Unlock is seen by the consumer's next pass.
  std::atomic<std::uint32_t> published_{0};

  // Consumer only.
  std::int32_t gain_volume_ = 0;
  double gain_ = 1.0;
};

}  // namespace kalvira
