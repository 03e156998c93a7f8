// The PortAudio backend as far as this machine allows: its device list (the default
// output first, with the all-zero identifier) and the refusal of unknown devices. With
// no playback device at all the list is empty and every run of an output ends with
// "Invalid device number".
#include <gtest/gtest.h>

#include <set>

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

}  // namespace
}  // namespace kalvira
