// The PortAudio backend. The looping buffer is ours (RingSoundBuffer); PortAudio's
// callback only takes frames from it, so the callback never locks, allocates or blocks.
// The stream runs from buffer creation to buffer release and plays silence while the
// buffer is stopped, so Play and Stop are a flag each and never wait for the device.
//
// PortAudio probes every ALSA device name and the JACK server at start; on a machine
// without those cards or without a running server, ALSA's and JACK's libraries would
// print dozens of diagnostic lines on standard error. Their message handlers are
// replaced by silent ones before PortAudio starts. Nothing is lost by it: every failure
// still comes back from PortAudio as its error code, which becomes the device layer's
// result and so the output's own error text.
#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "audio/ring_sound_buffer.h"
#include "audio/sound_device_internal.h"

namespace kalvira {
namespace {

// Frames per callback; the write position runs this far ahead of the play position.
constexpr unsigned long kFramesPerCallback = 1024;

SoundResult FromPaError(PaError error) {
  if (error == paNoError) return kSoundOk;
  return kSoundErrPortAudioBase + static_cast<SoundResult>((-10000 - error) & 0xFFFF);
}

std::uint64_t Fnv1a(const std::string& text, std::uint64_t seed) {
  std::uint64_t h = seed;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001B3ull;
  }
  return h;
}

// A stable identifier for a device of this machine: its host API, its name and which
// device of that name it is. Never all zero, which names the default device.
SoundDeviceId MakeDeviceId(const std::string& key) {
  SoundDeviceId id{};
  const std::uint64_t a = Fnv1a(key, 0xCBF29CE484222325ull);
  const std::uint64_t b = Fnv1a(key, 0x84222325CBF29CE4ull) | 1;
  for (int i = 0; i < 8; ++i) {
    id[i] = static_cast<std::uint8_t>(a >> (8 * i));
    id[8 + i] = static_cast<std::uint8_t>(b >> (8 * i));
  }
  return id;
}

PaSampleFormat SampleFormatFor(std::uint16_t bits) {
  switch (bits) {
    case 8:
      return paUInt8;
    case 16:
      return paInt16;
    case 24:
      return paInt24;
    default:
      return paInt32;
  }
}

class PortAudioBuffer final : public RingSoundBuffer {
 public:
  PortAudioBuffer(const WaveFormat& format, std::uint32_t size)
      : RingSoundBuffer(format, size, kFramesPerCallback) {}
  ~PortAudioBuffer() override {
    if (stream_ != nullptr) {
      Pa_AbortStream(stream_);
      Pa_CloseStream(stream_);
    }
  }

  SoundResult Open(PaDeviceIndex device) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr) return kSoundErrNoDriver;
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = format().channels;
    params.sampleFormat = SampleFormatFor(format().bits_per_sample);
    params.suggestedLatency = info->defaultLowOutputLatency;
    PaError error = Pa_OpenStream(&stream_, nullptr, &params, format().samples_per_sec,
                                  kFramesPerCallback, paNoFlag, &PortAudioBuffer::Callback, this);
    if (error != paNoError) {
      stream_ = nullptr;
      return FromPaError(error);
    }
    error = Pa_StartStream(stream_);
    return FromPaError(error);
  }

 private:
  static int Callback(const void* /*input*/, void* output, unsigned long frames,
                      const PaStreamCallbackTimeInfo* /*time*/, PaStreamCallbackFlags /*flags*/,
                      void* user) {
    static_cast<PortAudioBuffer*>(user)->ConsumeFrames(static_cast<std::uint8_t*>(output),
                                                       static_cast<std::uint32_t>(frames));
    return paContinue;
  }

  PaStream* stream_ = nullptr;
};

class PortAudioEndpoint final : public SoundEndpoint {
 public:
  explicit PortAudioEndpoint(PaDeviceIndex device) : device_(device) {}

  SoundResult SetFormat(const WaveFormat& format) override {
    return format.IsPlayablePcm() ? kSoundOk : kSoundErrBadFormat;
  }

  SoundResult CreateBuffer(const WaveFormat& format, std::uint32_t size,
                           std::unique_ptr<SoundBuffer>* buffer) override {
    if (!format.IsPlayablePcm()) return kSoundErrBadFormat;
    if (size == 0 || size % format.block_align != 0) return kSoundErrInvalidParam;
    auto created = std::make_unique<PortAudioBuffer>(format, size);
    const SoundResult result = created->Open(device_);
    if (SoundFailed(result)) return result;
    *buffer = std::move(created);
    return kSoundOk;
  }

 private:
  const PaDeviceIndex device_;
};

void DiscardAlsaMessage(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                        const char* /*format*/, ...) {}

void DiscardJackMessage(const char* /*message*/) {}

// Process-wide and once: the handlers belong to the libraries, not to one device.
void SilenceSoundLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    snd_lib_error_set_handler(&DiscardAlsaMessage);
    jack_set_error_function(&DiscardJackMessage);
    jack_set_info_function(&DiscardJackMessage);
  });
}

bool StartPortAudio() {
  SilenceSoundLibraries();
  return Pa_Initialize() == paNoError;
}

class PortAudioSoundDevice final : public RealClockSoundDevice {
 public:
  PortAudioSoundDevice() : initialized_(StartPortAudio()) {}
  ~PortAudioSoundDevice() override {
    if (initialized_) Pa_Terminate();
  }

  std::vector<SoundDeviceInfo> EnumerateDevices() override {
    std::vector<SoundDeviceInfo> list;
    if (!initialized_) return list;
    const PaDeviceIndex default_device = Pa_GetDefaultOutputDevice();
    if (default_device != paNoDevice) {
      if (const PaDeviceInfo* info = Pa_GetDeviceInfo(default_device)) {
        list.push_back({SoundDeviceId{}, std::string("Default output: ") + info->name});
      }
    }
    for (const auto& [index, id] : OutputDevices()) {
      const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
      const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
      std::string description = info->name;
      description += " (";
      description += api ? api->name : "?";
      description += ')';
      list.push_back({id, description});
    }
    return list;
  }

  SoundResult CreateEndpoint(const SoundDeviceId& id,
                             std::unique_ptr<SoundEndpoint>* endpoint) override {
    if (!initialized_) return kSoundErrNoDriver;
    PaDeviceIndex device = paNoDevice;
    if (id == SoundDeviceId{}) {
      device = Pa_GetDefaultOutputDevice();
    } else {
      for (const auto& [index, device_id] : OutputDevices()) {
        if (device_id == id) device = index;
      }
    }
    if (device == paNoDevice) return kSoundErrNoDriver;
    *endpoint = std::make_unique<PortAudioEndpoint>(device);
    return kSoundOk;
  }

 private:
  std::map<PaDeviceIndex, SoundDeviceId> OutputDevices() const {
    std::map<PaDeviceIndex, SoundDeviceId> devices;
    std::map<std::string, int> seen;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
      const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
      if (info == nullptr || info->maxOutputChannels <= 0) continue;
      const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
      std::string key = api ? api->name : "?";
      key += '\n';
      key += info->name;
      const int same_name = seen[key]++;
      key += '\n';
      key += std::to_string(same_name);
      devices[i] = MakeDeviceId(key);
    }
    return devices;
  }

  const bool initialized_;
};

}  // namespace

std::shared_ptr<SoundDevice> MakePortAudioSoundDevice() {
  return std::make_shared<PortAudioSoundDevice>();
}

}  // namespace kalvira
