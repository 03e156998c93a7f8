// The looping buffer every backend plays from (the PortAudio callback included): what
// the consumer takes while playing and while stopped, the volume at every sample size,
// positions, and locks that wrap.
#include "audio/ring_sound_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/audio/support/pcm_format.h"

namespace kalvira {
namespace {

void Write(RingSoundBuffer& ring, std::uint32_t offset, const std::vector<std::uint8_t>& data) {
  SoundRegion region;
  ASSERT_EQ(ring.Lock(offset, static_cast<std::uint32_t>(data.size()), &region), kSoundOk);
  region.CopyFrom(data.data());
  ring.Unlock(region);
}

TEST(RingSoundBufferTest, ConsumerPlaysInALoopAndSilenceWhileStopped) {
  RingSoundBuffer ring(testing::PcmFormat(1, 8000, 8), 4, 1);
  Write(ring, 0, {10, 11, 12, 13});
  std::vector<std::uint8_t> out(6, 0xEE);
  EXPECT_EQ(ring.ConsumeFrames(out.data(), 3), 0u);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{128, 128, 128, 0xEE, 0xEE, 0xEE}));
  std::uint32_t play = 9;
  std::uint32_t write = 9;
  ring.GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 0u);
  EXPECT_EQ(write, 0u);  // stopped: the write position is the play position

  ASSERT_EQ(ring.Play(), kSoundOk);
  EXPECT_EQ(ring.ConsumeFrames(out.data(), 6), 6u);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{10, 11, 12, 13, 10, 11}));
  ring.GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 2u);
  EXPECT_EQ(write, 3u);  // one frame of lead while playing
  ASSERT_EQ(ring.Stop(), kSoundOk);
  ring.ConsumeFrames(out.data(), 2);
  ring.GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 2u);
}

TEST(RingSoundBufferTest, VolumeScalesEverySampleSize) {
  struct Case {
    std::uint16_t bits;
    std::vector<std::uint8_t> sample;  // one mono frame, little-endian
    std::int32_t volume;
    std::vector<std::uint8_t> expected;
  };
  // -600 hundredths of a decibel: × 10^(-0.3) = 0.501187.
  const Case cases[] = {
      {8, {228}, -600, {178}},                             // 100 → 50.1 → 50, around 128
      {8, {28}, -600, {78}},                               // -100 → -50
      {16, {0xE8, 0x03}, -600, {0xF5, 0x01}},              // 1000 → 501
      {16, {0x18, 0xFC}, -600, {0x0B, 0xFE}},              // -1000 → -501
      {24, {0x40, 0x42, 0x0F}, -600, {0xC3, 0xA5, 0x07}},  // 1000000 → 501187
      {32, {0x00, 0xCA, 0x9A, 0x3B}, -600, {0xA2, 0x82, 0xDF, 0x1D}},  // 1e9 → 501187234
      {16, {0xE8, 0x03}, -10000, {0x00, 0x00}},                        // 1000 × 1e-5 → 0
      {16, {0xE8, 0x03}, 0, {0xE8, 0x03}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.bits << " bits, volume " << c.volume);
    const auto block = static_cast<std::uint32_t>(c.sample.size());
    RingSoundBuffer ring(testing::PcmFormat(1, 8000, c.bits), block, 0);
    Write(ring, 0, c.sample);
    ASSERT_EQ(ring.SetVolume(c.volume), kSoundOk);
    ASSERT_EQ(ring.Play(), kSoundOk);
    std::vector<std::uint8_t> out(block);
    ASSERT_EQ(ring.ConsumeFrames(out.data(), 1), 1u);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(RingSoundBufferTest, RefusesWhatTheDeviceWouldRefuse) {
  RingSoundBuffer ring(testing::PcmFormat(2, 44100, 16), 400, 10);
  EXPECT_EQ(ring.SetVolume(1), kSoundErrInvalidParam);
  EXPECT_EQ(ring.SetVolume(-10001), kSoundErrInvalidParam);
  EXPECT_EQ(ring.SetCurrentPosition(400), kSoundErrInvalidParam);
  ASSERT_EQ(ring.SetCurrentPosition(7), kSoundOk);  // down to a whole frame
  std::uint32_t play = 0;
  ring.GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 4u);
  SoundRegion region;
  EXPECT_EQ(ring.Lock(400, 1, &region), kSoundErrInvalidParam);
  EXPECT_EQ(ring.Lock(0, 401, &region), kSoundErrInvalidParam);
  ASSERT_EQ(ring.Lock(396, 10, &region), kSoundOk);
  EXPECT_EQ(region.size1, 4u);
  EXPECT_EQ(region.size2, 6u);
  ASSERT_EQ(ring.Lock(100, 400, &region), kSoundOk);
  EXPECT_EQ(region.size1, 300u);
  EXPECT_EQ(region.size2, 100u);
}

// The bytes are kept eight to a word: writes that start or end inside a word must leave
// its other bytes alone, and reads of any range, wrapping or not, give back what was
// written.
TEST(RingSoundBufferTest, WritesAndReadsAtAnyOffsetKeepTheNeighbours) {
  struct Case {
    std::uint32_t size;
    std::uint32_t offset;
    std::uint32_t count;
  };
  const Case cases[] = {
      {40, 0, 40}, {40, 3, 2},  {40, 5, 3},   {40, 6, 12},        {40, 8, 16},
      {40, 1, 39}, {40, 37, 9}, {40, 30, 40}, {42, 39, 7},        {42, 41, 42},
      {7, 2, 7},   {7, 6, 1},   {6, 4, 4},    {4096, 4093, 4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "size " << c.size << ", " << c.count << " bytes at " << c.offset);
    RingSoundBuffer ring(testing::PcmFormat(1, 8000, 8), c.size, 1);
    std::vector<std::uint8_t> model(c.size);
    for (std::uint32_t i = 0; i < c.size; ++i) model[i] = static_cast<std::uint8_t>(200 - i % 97);
    Write(ring, 0, model);
    std::vector<std::uint8_t> data(c.count);
    for (std::uint32_t i = 0; i < c.count; ++i) {
      data[i] = static_cast<std::uint8_t>(i * 7 + 1);
      model[(c.offset + i) % c.size] = data[i];
    }
    Write(ring, c.offset, data);

    SoundRegion region;
    ASSERT_EQ(ring.Lock(0, c.size, &region), kSoundOk);
    std::vector<std::uint8_t> whole(c.size);
    region.CopyTo(whole.data());
    EXPECT_EQ(whole, model);

    // The consumer from an unaligned position, round the end and past it once more.
    ASSERT_EQ(ring.SetCurrentPosition(c.offset), kSoundOk);
    ASSERT_EQ(ring.Play(), kSoundOk);
    std::vector<std::uint8_t> out(c.size + c.count + 3);
    ASSERT_EQ(ring.ConsumeFrames(out.data(), static_cast<std::uint32_t>(out.size())), out.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
      ASSERT_EQ(out[i], model[(c.offset + i) % c.size]) << "byte " << i;
    }

    ASSERT_EQ(ring.Lock(c.offset, c.count, &region), kSoundOk);
    region.Fill(0x5A);
    ring.Unlock(region);
    for (std::uint32_t i = 0; i < c.count; ++i) model[(c.offset + i) % c.size] = 0x5A;
    ASSERT_EQ(ring.Lock(0, c.size, &region), kSoundOk);
    region.CopyTo(whole.data());
    EXPECT_EQ(whole, model);
  }
}

TEST(WaveFormatTest, BytesOfPlainAndExtensibleFormats) {
  WaveFormat pcm = testing::PcmFormat(2, 44100, 16);
  EXPECT_EQ(pcm.Bytes(), (std::vector<std::uint8_t>{1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                                                    4, 0, 16, 0, 0, 0}));
  WaveFormat ext = testing::PcmFormat(6, 48000, 24);
  ext.format_tag = WaveFormat::kTagExtensible;
  ext.cb_size = 22;
  ext.channel_mask = 0x3F;
  ext.sub_format = WaveFormat::kPcmSubFormat;
  const std::vector<std::uint8_t> bytes = ext.Bytes();
  ASSERT_EQ(bytes.size(), 40u);
  EXPECT_EQ(bytes[16], 22);  // cbSize
  EXPECT_EQ(bytes[20], 0x3F);
  EXPECT_TRUE(std::equal(bytes.begin() + 24, bytes.end(), WaveFormat::kPcmSubFormat.begin()));
  EXPECT_TRUE(ext.IsPlayablePcm());
  ext.sub_format[0] = 3;  // IEEE float: not ours to play
  EXPECT_FALSE(ext.IsPlayablePcm());
}

}  // namespace
}  // namespace kalvira
