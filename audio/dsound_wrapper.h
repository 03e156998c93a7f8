// The record between the sound output and the sound device: the device object, the
// looping buffer, and the arithmetic that turns play positions into free space, writes
// with wrap-around and detects underruns. TDXAudioOut (dx_audio_out.h) is its only user;
// it is public so that the arithmetic can be tested against a simulated device.
//
// Threads: the output's worker thread owns the record and calls everything, except
// StopPlayback and RestartPlayback, which the user-interface thread may also call (pause
// and resume). Those two take buffer_mu_ against the release of the buffer; the worker
// takes it only where it creates or releases the buffer. playing() is an atomic flag.
//
// Ownership: the SoundDevice passed in must outlive the record.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/sound_device.h"
#include "base/mutex.h"

namespace kalvira {

class DSoundWrapper {
 public:
  explicit DSoundWrapper(SoundDevice* device);
  ~DSoundWrapper();
  DSoundWrapper(const DSoundWrapper&) = delete;
  DSoundWrapper& operator=(const DSoundWrapper&) = delete;

  // Releases whatever the record holds and sets every field to zero.
  void Clear() EXCLUDES(buffer_mu_);

  SoundResult CreateDevice(const SoundDeviceId& id);
  // Sets the device's format and creates the looping buffer of `size` bytes, cleared to
  // zero bytes; the write position starts where the buffer reports it. On failure the
  // result of the first call that failed.
  SoundResult InitBuffers(const WaveFormat& format, std::uint32_t size) EXCLUDES(buffer_mu_);

  // Plays from the start of the buffer.
  SoundResult StartPlayback();
  // Stops at once; the buffer keeps its data and its play position.
  void StopPlayback() EXCLUDES(buffer_mu_);
  // Plays on from where the buffer stopped; fails without a buffer.
  SoundResult RestartPlayback() EXCLUDES(buffer_mu_);

  // The bytes that may be written at the write position now. Counts an underrun when the
  // device has played past the data written (also across whole passes missed since the
  // last query, found with the performance counter).
  SoundResult QueryFree(std::uint32_t* free);
  // Writes `count` bytes at the write position, wrapping at the end; nothing on failure.
  void WriteData(const std::uint8_t* data, std::uint32_t count);
  // Fills the free part with `value`.
  void FillSilence(std::uint8_t value);
  // Raises Exception "Control not available" when the buffer has no volume control.
  void ApplyVolume(std::int32_t value);
  void ReleaseAll() EXCLUDES(buffer_mu_);

  bool playing() const { return playing_.load(); }
  bool has_device() const { return endpoint_ != nullptr; }
  bool has_buffer() const { return buffer_ != nullptr; }
  std::uint32_t write_pos() const { return write_pos_; }
  std::uint32_t buffer_size() const { return buffer_size_; }
  std::uint32_t block_align() const { return block_align_; }
  std::int64_t ticks_per_buffer() const { return ticks_per_buffer_; }
  std::int32_t underruns() const { return underruns_; }
  std::int32_t volume() const { return volume_; }

 private:
  SoundDevice* const device_;

  // Worker thread only.
  std::unique_ptr<SoundEndpoint> endpoint_;
  std::uint32_t write_pos_ = 0;
  std::uint32_t buffer_size_ = 0;
  std::uint32_t block_align_ = 0;
  std::int64_t ticks_per_buffer_ = 0;
  std::int64_t last_counter_ = 0;
  std::uint32_t last_play_pos_ = 0;
  std::int32_t underruns_ = 0;
  std::int32_t volume_ = 0;
  std::uint32_t restarts_seen_ = 0;

  // Changed by the worker under buffer_mu_; read by the worker without it, and by the
  // user-interface thread under it.
  Mutex buffer_mu_;
  std::unique_ptr<SoundBuffer> buffer_;

  std::atomic<bool> playing_{false};
  // A restart (resume, or the recovery from an underrun) leaves where the pass detection
  // should measure from: the counter and play position at the restart.
  std::atomic<std::uint32_t> restarts_{0};
  std::atomic<std::int64_t> restart_counter_{0};
  std::atomic<std::uint32_t> restart_play_pos_{0};
};

}  // namespace kalvira
