// The PortAudio backend as far as this machine allows: its device list (the default
// output first, with the all-zero identifier) and the refusal of unknown devices. With
// no playback device at all the list is empty and every run of an output ends with
// "Invalid device number".
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>

#include "audio/dx_audio_out.h"
#include "audio/sound_device.h"

namespace kalvira {
namespace {

TEST(PortAudioSoundDeviceTest, ListsTheDefaultOutputFirst) {
  const std::shared_ptr<SoundDevice> device = MakePortAudioSoundDevice();
  const std::vector<SoundDeviceInfo> list = device->EnumerateDevices();
  std::unique_ptr<SoundEndpoint> endpoint;
  SoundDeviceId unknown{};
  unknown.fill(0x5A);
  EXPECT_EQ(device->CreateEndpoint(unknown, &endpoint), kSoundErrNoDriver);
  if (list.empty()) {
    EXPECT_EQ(device->CreateEndpoint(SoundDeviceId{}, &endpoint), kSoundErrNoDriver);
    TDXAudioOut out(device);
    EXPECT_EQ(out.DeviceCount(), 0);
    GTEST_SKIP() << "no playback device on this machine";
  }
  EXPECT_EQ(list[0].id, SoundDeviceId{});
  std::set<SoundDeviceId> ids;
  for (std::size_t i = 1; i < list.size(); ++i) {
    EXPECT_NE(list[i].id, SoundDeviceId{});
    EXPECT_TRUE(ids.insert(list[i].id).second) << list[i].description;
    EXPECT_FALSE(list[i].description.empty());
  }
  EXPECT_EQ(device->CreateEndpoint(SoundDeviceId{}, &endpoint), kSoundOk);
}

// What `work` writes to file descriptor 2, where the sound libraries print.
std::string CaptureStandardError(const std::function<void()>& work) {
  std::fflush(stderr);
  char path[] = "/tmp/kalvira-stderr-XXXXXX";
  const int file = ::mkstemp(path);
  if (file < 0) return "mkstemp failed";
  ::unlink(path);
  const int saved = ::dup(2);
  ::dup2(file, 2);
  work();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  std::string text;
  char chunk[4096];
  ::lseek(file, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(file, chunk, sizeof chunk)) > 0;) {
    text.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(file);
  return text;
}

// Probing the sound system prints nothing of its own on standard error (on a machine
// without the cards and servers it probes, the libraries would print dozens of lines);
// what fails still comes back as the device layer's result.
TEST(PortAudioSoundDeviceTest, ProbesTheSoundSystemSilently) {
  std::vector<SoundDeviceInfo> list;
  SoundResult endpoint_result = kSoundOk;
  const std::string printed = CaptureStandardError([&] {
    const std::shared_ptr<SoundDevice> device = MakePortAudioSoundDevice();
    list = device->EnumerateDevices();
    std::unique_ptr<SoundEndpoint> endpoint;
    endpoint_result = device->CreateEndpoint(SoundDeviceId{}, &endpoint);
    if (endpoint) {
      WaveFormat format;
      format.format_tag = WaveFormat::kTagPcm;
      format.channels = 2;
      format.samples_per_sec = 44100;
      format.bits_per_sample = 16;
      format.block_align = 4;
      format.avg_bytes_per_sec = 44100 * 4;
      std::unique_ptr<SoundBuffer> buffer;
      // Opens a stream on a real card; whether it succeeds is the machine's affair.
      endpoint->CreateBuffer(format, 44100 * 4, &buffer);
    }
  });
  EXPECT_EQ(printed, "");
  if (list.empty()) {
    EXPECT_EQ(endpoint_result, kSoundErrNoDriver);
  } else {
    EXPECT_EQ(endpoint_result, kSoundOk);
  }
}

}  // namespace
}  // namespace kalvira
