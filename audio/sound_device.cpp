#include "audio/sound_device.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

void SoundRegion::CopyFrom(const std::uint8_t* data) const {
  for (std::uint32_t i = 0; i < size1; ++i) part1[i].store(data[i], std::memory_order_relaxed);
  for (std::uint32_t i = 0; i < size2; ++i) {
    part2[i].store(data[size1 + i], std::memory_order_relaxed);
  }
}

void SoundRegion::Fill(std::uint8_t value) const {
  for (std::uint32_t i = 0; i < size1; ++i) part1[i].store(value, std::memory_order_relaxed);
  for (std::uint32_t i = 0; i < size2; ++i) part2[i].store(value, std::memory_order_relaxed);
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

std::shared_ptr<SoundDevice> SoundDeviceFromSpec(const std::string& spec) {
  if (spec.empty() || spec == "portaudio") return MakePortAudioSoundDevice();
  if (spec == "none") return MakeNoSoundDevice();
  if (spec.rfind("wav:", 0) == 0 && spec.size() > 4) {
    return MakeWavFileSoundDevice(spec.substr(4));
  }
  std::fprintf(stderr,
               "kalvira: KALVIRA_AUDIO_OUT=\"%s\" is not portaudio, none or wav:PATH; "
               "no sound device\n",
               spec.c_str());
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
  const std::string spec = env == nullptr ? "" : env;
  MutexLock lock(shared->mu);
  std::shared_ptr<SoundDevice> device = shared->devices[spec].lock();
  if (device == nullptr) {
    device = SoundDeviceFromSpec(spec);
    shared->devices[spec] = device;
  }
  return device;
}

}  // namespace kalvira
