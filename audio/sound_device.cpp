#include "audio/sound_device.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "audio/sound_device_internal.h"
#include "base/mutex.h"

namespace kalvira {

std::string FormatSoundResult(SoundResult result) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(result));
  return text;
}

namespace {

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

std::vector<std::uint8_t> WaveFormat::Bytes() const {
  std::vector<std::uint8_t> out;
  PutLe16(out, format_tag);
  PutLe16(out, channels);
  PutLe32(out, samples_per_sec);
  PutLe32(out, avg_bytes_per_sec);
  PutLe16(out, block_align);
  PutLe16(out, bits_per_sample);
  PutLe16(out, cb_size);
  if (cb_size >= 22) {
    PutLe16(out, valid_bits);
    PutLe32(out, channel_mask);
    out.insert(out.end(), sub_format.begin(), sub_format.end());
  }
  return out;
}

bool WaveFormat::IsPlayablePcm() const {
  const bool integer_pcm =
      format_tag == kTagPcm || (format_tag == kTagExtensible && sub_format == kPcmSubFormat);
  const bool bits_ok = bits_per_sample == 8 || bits_per_sample == 16 || bits_per_sample == 24 ||
                       bits_per_sample == 32;
  return integer_pcm && bits_ok && channels > 0 && samples_per_sec > 0 &&
         block_align == channels * (bits_per_sample / 8);
}

SoundBytes::SoundBytes(std::uint32_t size)
    : size_(size), words_(new Word[(std::uint64_t{size} + kWordBytes - 1) / kWordBytes]) {
  const std::uint64_t words = (std::uint64_t{size} + kWordBytes - 1) / kWordBytes;
  for (std::uint64_t i = 0; i < words; ++i) words_[i].store(0, std::memory_order_relaxed);
}

void SoundBytes::Patch(std::uint32_t index, std::uint32_t at, const std::uint8_t* data,
                       std::uint32_t count) {
  // Single writer: nobody else changes the word between this load and store.
  std::uint64_t word = words_[index].load(std::memory_order_relaxed);
  std::memcpy(reinterpret_cast<std::uint8_t*>(&word) + at, data, count);
  words_[index].store(word, std::memory_order_relaxed);
}

void SoundBytes::Write(std::uint32_t offset, const std::uint8_t* data, std::uint32_t count) {
  assert(std::uint64_t{offset} + count <= size_);
  std::uint32_t index = offset / kWordBytes;
  const std::uint32_t at = offset % kWordBytes;
  if (at != 0 && count > 0) {
    const std::uint32_t head = std::min(count, kWordBytes - at);
    Patch(index++, at, data, head);
    data += head;
    count -= head;
  }
  for (; count >= kWordBytes; count -= kWordBytes, data += kWordBytes) {
    std::uint64_t word;
    std::memcpy(&word, data, kWordBytes);
    words_[index++].store(word, std::memory_order_relaxed);
  }
  if (count > 0) Patch(index, 0, data, count);
}

void SoundBytes::Fill(std::uint32_t offset, std::uint8_t value, std::uint32_t count) {
  std::array<std::uint8_t, 4096> chunk;
  chunk.fill(value);
  while (count > 0) {
    const auto n = std::min<std::uint32_t>(count, chunk.size());
    Write(offset, chunk.data(), n);
    offset += n;
    count -= n;
  }
}

void SoundBytes::Read(std::uint32_t offset, std::uint8_t* out, std::uint32_t count) const {
  assert(std::uint64_t{offset} + count <= size_);
  std::uint32_t index = offset / kWordBytes;
  const std::uint32_t at = offset % kWordBytes;
  if (at != 0 && count > 0) {
    const std::uint32_t head = std::min(count, kWordBytes - at);
    const std::uint64_t word = words_[index++].load(std::memory_order_relaxed);
    std::memcpy(out, reinterpret_cast<const std::uint8_t*>(&word) + at, head);
    out += head;
    count -= head;
  }
  for (; count >= kWordBytes; count -= kWordBytes, out += kWordBytes) {
    const std::uint64_t word = words_[index++].load(std::memory_order_relaxed);
    std::memcpy(out, &word, kWordBytes);
  }
  if (count > 0) {
    const std::uint64_t word = words_[index].load(std::memory_order_relaxed);
    std::memcpy(out, &word, count);
  }
}

void SoundRegion::CopyFrom(const std::uint8_t* data) const {
  bytes->Write(offset1, data, size1);
  bytes->Write(0, data + size1, size2);
}

void SoundRegion::Fill(std::uint8_t value) const {
  bytes->Fill(offset1, value, size1);
  bytes->Fill(0, value, size2);
}

void SoundRegion::CopyTo(std::uint8_t* out) const {
  bytes->Read(offset1, out, size1);
  bytes->Read(0, out + size1, size2);
}

std::int64_t RealClockSoundDevice::PerformanceFrequency() {
  return 1'000'000'000;
}

std::int64_t RealClockSoundDevice::PerformanceCounter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::uint32_t RealClockSoundDevice::Milliseconds() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

void RealClockSoundDevice::SleepMilliseconds(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {

class NoSoundDevice final : public RealClockSoundDevice {
 public:
  std::vector<SoundDeviceInfo> EnumerateDevices() override { return {}; }
  SoundResult CreateEndpoint(const SoundDeviceId& /*id*/,
                             std::unique_ptr<SoundEndpoint>* /*endpoint*/) override {
    return kSoundErrNoDriver;
  }
};

}  // namespace

std::shared_ptr<SoundDevice> MakeNoSoundDevice() {
  return std::make_shared<NoSoundDevice>();
}

std::shared_ptr<SoundDevice> SoundDeviceFromChoice(const std::string& choice) {
  if (choice.empty() || choice == "portaudio") return MakePortAudioSoundDevice();
  if (choice == "none") return MakeNoSoundDevice();
  if (choice.rfind("wav:", 0) == 0 && choice.size() > 4) {
    return MakeWavFileSoundDevice(choice.substr(4));
  }
  std::fprintf(stderr,
               "kalvira: KALVIRA_AUDIO_OUT=\"%s\" is not portaudio, none or wav:PATH; "
               "no sound device\n",
               choice.c_str());
  return MakeNoSoundDevice();
}

std::shared_ptr<SoundDevice> SoundDeviceFromEnvironment() {
  // One backend per process and choice: the outputs of a window share it, as they share
  // the machine's sound device (a WAV file must not be written by two backends at once).
  struct Shared {
    Mutex mu;
    std::map<std::string, std::weak_ptr<SoundDevice>> devices GUARDED_BY(mu);
  };
  static Shared* const shared = new Shared;  // never destroyed: outputs may outlive main
  const char* env = std::getenv("KALVIRA_AUDIO_OUT");
  const std::string choice = env == nullptr ? "" : env;
  MutexLock lock(shared->mu);
  std::shared_ptr<SoundDevice> device = shared->devices[choice].lock();
  if (device == nullptr) {
    device = SoundDeviceFromChoice(choice);
    shared->devices[choice] = device;
  }
  return device;
}

}  // namespace kalvira
