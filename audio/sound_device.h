// The sound device layer under the sound output: a list of playback devices, a device
// object, and a looping buffer of a fixed size in the input's PCM format whose play and
// write positions can be read, written at an offset with wrap-around, played from the
// start or from where it stopped, stopped, and attenuated in hundredths of a decibel.
// It also carries the clocks the output paces itself with, so a simulated device can
// replace time as well as sound.
//
// Backends: PortAudio (the default), a WAV file written in real time
// (KALVIRA_AUDIO_OUT=wav:PATH), no device at all (KALVIRA_AUDIO_OUT=none) and, for
// tests, SimulatedSoundDevice (tests/audio/support/simulated_sound_device.h).
//
// Threads: a SoundDevice may be shared by several outputs and used from any thread.
// A SoundEndpoint and its buffers belong to one output: its worker thread uses them,
// except that Play and Stop of a buffer may also come from the user-interface thread
// (pause and resume). Every buffer operation is safe against the backend's consumer
// (the PortAudio callback, the WAV writer thread), which never locks or blocks.
//
// Ownership: a buffer must not outlive the endpoint that created it, and the endpoint
// must not outlive its SoundDevice.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kalvira {

// Result codes in the form the output reports them: 0 for success, otherwise a 32-bit
// code with the high bit set, shown as 8 upper-case hexadecimal digits. The values
// follow the codes of the platform sound API the output was written against.
using SoundResult = std::uint32_t;
inline constexpr SoundResult kSoundOk = 0;
inline constexpr SoundResult kSoundErrGeneric = 0x80004005;
inline constexpr SoundResult kSoundErrOutOfMemory = 0x8007000E;
inline constexpr SoundResult kSoundErrInvalidParam = 0x80070057;
inline constexpr SoundResult kSoundErrAllocated = 0x8878000A;
inline constexpr SoundResult kSoundErrControlUnavail = 0x8878001E;
inline constexpr SoundResult kSoundErrInvalidCall = 0x88780032;
inline constexpr SoundResult kSoundErrBadFormat = 0x88780064;
inline constexpr SoundResult kSoundErrNoDriver = 0x88780078;
// PortAudio's own error n (negative, from -10000 up) is reported as this base plus
// (-10000 - n), e.g. paInvalidSampleRate (-9997) as 0x88790003.
inline constexpr SoundResult kSoundErrPortAudioBase = 0x88790000;

inline bool SoundFailed(SoundResult result) {
  return (result & 0x80000000u) != 0;
}

// "8 upper-case hexadecimal digits" of a result code.
std::string FormatSoundResult(SoundResult result);

// Attenuation in hundredths of a decibel: 0 is full volume, -10000 is silence.
inline constexpr std::int32_t kSoundVolumeMax = 0;
inline constexpr std::int32_t kSoundVolumeMin = -10000;

// A device identifier: 16 bytes. All zero names the default playback device.
using SoundDeviceId = std::array<std::uint8_t, 16>;

struct SoundDeviceInfo {
  SoundDeviceId id{};
  std::string description;  // UTF-8
};

// The PCM format of a buffer, laid out as the 40-byte extensible wave format block.
struct WaveFormat {
  static constexpr std::uint16_t kTagPcm = 1;
  static constexpr std::uint16_t kTagExtensible = 0xFFFE;
  // {00000001-0000-0010-8000-00AA00389B71} in its byte order on disk.
  static constexpr std::array<std::uint8_t, 16> kPcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                                 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA,
                                                                 0x00, 0x38, 0x9B, 0x71};

  std::uint16_t format_tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samples_per_sec = 0;
  std::uint32_t avg_bytes_per_sec = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits_per_sample = 0;
  std::uint16_t cb_size = 0;
  std::uint16_t valid_bits = 0;
  std::uint32_t channel_mask = 0;
  std::array<std::uint8_t, 16> sub_format{};

  // The block as it is stored: 18 bytes for plain PCM (cbSize 0), 40 for extensible.
  std::vector<std::uint8_t> Bytes() const;
  // Integer PCM of 8, 16, 24 or 32 bits with a consistent block alignment.
  bool IsPlayablePcm() const;
};

// The bytes of a looping buffer. The consumer of a buffer may read bytes while the
// output writes them (an underrun plays stale data, as sound hardware does); keeping the
// bytes in relaxed atomic 64-bit words makes that a glitch rather than a data race, and
// lets a copy move eight bytes per access. Only one thread writes (the output's worker);
// the bytes that share a word with a partial write are written back as they were.
class SoundBytes {
 public:
  // `size` bytes, all zero.
  explicit SoundBytes(std::uint32_t size);

  std::uint32_t size() const { return size_; }
  // Ranges must lie within the buffer; they do not wrap.
  void Write(std::uint32_t offset, const std::uint8_t* data, std::uint32_t count);
  void Fill(std::uint32_t offset, std::uint8_t value, std::uint32_t count);
  void Read(std::uint32_t offset, std::uint8_t* out, std::uint32_t count) const;

 private:
  using Word = std::atomic<std::uint64_t>;
  static constexpr std::uint32_t kWordBytes = sizeof(std::uint64_t);

  // Writes `count` bytes (< a word's worth after `at`) into word `index` from byte `at`.
  void Patch(std::uint32_t index, std::uint32_t at, const std::uint8_t* data, std::uint32_t count);

  const std::uint32_t size_;
  const std::unique_ptr<Word[]> words_;
};

// A locked range of a looping buffer: `size1` bytes from `offset1`, then, for a range
// that runs past the end, `size2` bytes from the start.
struct SoundRegion {
  SoundBytes* bytes = nullptr;
  std::uint32_t offset1 = 0;
  std::uint32_t size1 = 0;
  std::uint32_t size2 = 0;

  std::uint32_t size() const { return size1 + size2; }
  // Copies size() bytes from `data` into the region.
  void CopyFrom(const std::uint8_t* data) const;
  void Fill(std::uint8_t value) const;
  // Copies the region's size() bytes to `out`.
  void CopyTo(std::uint8_t* out) const;
};

// A looping buffer of a fixed size. The play position runs through the buffer again and
// again while playing, whatever the data; the write position is where data may be
// written without disturbing what the device has already taken for playing.
class SoundBuffer {
 public:
  virtual ~SoundBuffer() = default;

  virtual std::uint32_t Size() const = 0;
  virtual SoundResult GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) = 0;
  // Only while stopped; `play` is a byte offset below Size().
  virtual SoundResult SetCurrentPosition(std::uint32_t play) = 0;
  // Locks `count` bytes from `offset` (below Size()); count may not exceed Size().
  virtual SoundResult Lock(std::uint32_t offset, std::uint32_t count, SoundRegion* region) = 0;
  // Makes the data written into the region visible to the device.
  virtual SoundResult Unlock(const SoundRegion& region) = 0;
  // Plays in a loop from the current play position.
  virtual SoundResult Play() = 0;
  // Stops at once; the play position stays where the sound stopped.
  virtual SoundResult Stop() = 0;
  // kSoundVolumeMin..kSoundVolumeMax; anything else is kSoundErrInvalidParam.
  virtual SoundResult SetVolume(std::int32_t hundredths_db) = 0;
};

// An opened playback device.
class SoundEndpoint {
 public:
  virtual ~SoundEndpoint() = default;
  // Sets the format the device itself runs at (the primary buffer's format).
  virtual SoundResult SetFormat(const WaveFormat& format) = 0;
  // Creates a looping buffer of `size` bytes (a multiple of the block alignment), cleared
  // to zero bytes and stopped at position 0.
  virtual SoundResult CreateBuffer(const WaveFormat& format, std::uint32_t size,
                                   std::unique_ptr<SoundBuffer>* buffer) = 0;
};

// A sound backend: its device list, its device objects and its clocks.
class SoundDevice {
 public:
  virtual ~SoundDevice() = default;

  // The playback devices in the order the backend reports them; the default device
  // comes first with an all-zero identifier.
  virtual std::vector<SoundDeviceInfo> EnumerateDevices() = 0;
  virtual SoundResult CreateEndpoint(const SoundDeviceId& id,
                                     std::unique_ptr<SoundEndpoint>* endpoint) = 0;

  // Counter ticks per second, 0 when there is no high-resolution counter.
  virtual std::int64_t PerformanceFrequency() = 0;
  virtual std::int64_t PerformanceCounter() = 0;
  // A millisecond clock that wraps at 32 bits.
  virtual std::uint32_t Milliseconds() = 0;
  virtual void SleepMilliseconds(std::uint32_t ms) = 0;
};

// The backend KALVIRA_AUDIO_OUT chooses: unset, empty or "portaudio" for PortAudio,
// "wav:PATH" for a WAV file, "none" for no device. Anything else prints a warning on
// standard error and gives no device, so every run ends with "Invalid device number".
// While one is alive, every call with the same choice returns that same backend.
std::shared_ptr<SoundDevice> SoundDeviceFromEnvironment();
// A new backend for a choice written as KALVIRA_AUDIO_OUT is.
std::shared_ptr<SoundDevice> SoundDeviceFromChoice(const std::string& choice);

std::shared_ptr<SoundDevice> MakePortAudioSoundDevice();
// Writes what is played to `path` (see audio/wav_file_device.h).
std::shared_ptr<SoundDevice> MakeWavFileSoundDevice(const std::string& path);
std::shared_ptr<SoundDevice> MakeNoSoundDevice();

}  // namespace kalvira
