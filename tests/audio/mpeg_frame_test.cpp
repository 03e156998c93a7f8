// MPEG audio frame headers byte by byte, and the length of constant-bit-rate streams
// worked out from their size (real streams made by lame are in mpg123_reader_test).
#include "audio/mpeg_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kalvira {
namespace {

using Version = MpegFrameHeader::Version;

TEST(MpegFrameHeaderTest, ParsesEveryVersionAndLayer) {
  const struct Case {
    const char* what;
    std::uint8_t bytes[4];
    bool expect_fail;
    Version version = Version::kMpeg1;
    int layer = 0;
    int kbps = 0;
    int rate = 0;
    bool mono = false;
    std::uint32_t frame_bytes = 0;
    std::uint32_t samples = 0;
  } cases[] = {
      {"MPEG-1 layer III",
       {0xFF, 0xFB, 0x90, 0x64},
       false,
       Version::kMpeg1,
       3,
       128,
       44100,
       false,
       417,
       1152},
      {"padded", {0xFF, 0xFB, 0x92, 0x64}, false, Version::kMpeg1, 3, 128, 44100, false, 418, 1152},
      {"48 kHz mono",
       {0xFF, 0xFB, 0x94, 0xC4},
       false,
       Version::kMpeg1,
       3,
       128,
       48000,
       true,
       384,
       1152},
      {"MPEG-2 layer III",
       {0xFF, 0xF3, 0x80, 0xC4},
       false,
       Version::kMpeg2,
       3,
       64,
       22050,
       true,
       208,
       576},
      {"MPEG-2.5 layer III",
       {0xFF, 0xE3, 0x40, 0xC4},
       false,
       Version::kMpeg25,
       3,
       32,
       11025,
       true,
       208,
       576},
      {"MPEG-2.5 at 8 kHz",
       {0xFF, 0xE3, 0x18, 0x44},
       false,
       Version::kMpeg25,
       3,
       8,
       8000,
       false,
       72,
       576},
      {"MPEG-1 layer II",
       {0xFF, 0xFD, 0x94, 0x04},
       false,
       Version::kMpeg1,
       2,
       160,
       48000,
       false,
       480,
       1152},
      {"MPEG-1 layer I",
       {0xFF, 0xFF, 0x90, 0x04},
       false,
       Version::kMpeg1,
       1,
       288,
       44100,
       false,
       312,
       384},
      {"layer I padded by a slot",
       {0xFF, 0xFF, 0x92, 0x04},
       false,
       Version::kMpeg1,
       1,
       288,
       44100,
       false,
       316,
       384},
      {"MPEG-2 layer I",
       {0xFF, 0xF7, 0x90, 0x04},
       false,
       Version::kMpeg2,
       1,
       144,
       22050,
       false,
       312,
       384},
      {"no sync", {0xFE, 0xFB, 0x90, 0x64}, true},
      {"sync cut short", {0xFF, 0x1B, 0x90, 0x64}, true},
      {"reserved version", {0xFF, 0xEB, 0x90, 0x64}, true},
      {"reserved layer", {0xFF, 0xF9, 0x90, 0x64}, true},
      {"free format", {0xFF, 0xFB, 0x00, 0x64}, true},
      {"bit rate index 15", {0xFF, 0xFB, 0xF0, 0x64}, true},
      {"reserved sample rate", {0xFF, 0xFB, 0x9C, 0x64}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<MpegFrameHeader> header = ParseMpegFrameHeader(c.bytes);
    ASSERT_EQ(header.has_value(), !c.expect_fail);
    if (c.expect_fail) continue;
    EXPECT_EQ(header->version, c.version);
    EXPECT_EQ(header->layer, c.layer);
    EXPECT_EQ(header->bitrate_kbps, c.kbps);
    EXPECT_EQ(header->sample_rate, c.rate);
    EXPECT_EQ(header->mono, c.mono);
    EXPECT_EQ(header->FrameBytes(), c.frame_bytes);
    EXPECT_EQ(header->SamplesPerFrame(), c.samples);
  }
}

// A stream of MPEG-1 layer III frames at 44.1 kHz, padded the way encoders pad: a frame
// is one byte longer whenever that keeps the total within a byte of the average. The
// frame bodies are zeros. `kbps_of(i)` gives frame i's bit rate.
template <typename Rate>
std::string Frames(int count, Rate kbps_of) {
  static const std::vector<std::pair<int, std::uint8_t>> kIndex = {
      {32, 1}, {64, 5}, {96, 7}, {128, 9}, {160, 10}, {192, 11}, {320, 14}};
  std::string stream;
  std::vector<double> owed(15, 0.0);
  for (int i = 0; i < count; ++i) {
    const int kbps = kbps_of(i);
    std::uint8_t index = 0;
    for (const auto& [rate, bits] : kIndex) {
      if (rate == kbps) index = bits;
    }
    const double average = 144.0 * kbps * 1000 / 44100;
    const auto plain = static_cast<std::uint32_t>(average);
    owed[index] += average - plain;
    const bool padded = owed[index] >= 1.0;
    if (padded) owed[index] -= 1.0;
    std::string frame(plain + (padded ? 1 : 0), '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = static_cast<char>((index << 4) | (padded ? 2 : 0));
    frame[3] = '\x64';
    stream += frame;
  }
  return stream;
}

TEST(ConstantBitRateSamplesTest, CountsTheFramesOfAConstantRateFromTheSize) {
  const std::string frames = Frames(500, [](int) { return 128; });
  const std::string id3v1 = "TAG" + std::string(125, 'x');
  std::string ape_footer = "APETAGEX";
  ape_footer += std::string("\xD0\x07\0\0", 4);  // version 2000
  ape_footer += std::string("\x40\0\0\0", 4);    // 64 bytes: items and footer
  ape_footer += std::string("\x01\0\0\0", 4);    // one item
  ape_footer += std::string("\0\0\0\x80", 4);    // has a header
  ape_footer += std::string(8, '\0');
  const std::string ape = "APETAGEX" + std::string(24, '\0') + std::string(32, 'i') + ape_footer;
  const struct Case {
    const char* what;
    std::string bytes;
    std::int64_t first;
    std::int64_t samples;
  } cases[] = {
      {"frames alone", frames, 0, 500 * 1152},
      {"after an ID3v2 tag", std::string(300, 'T') + frames, 300, 500 * 1152},
      {"with an ID3v1 tag", frames + id3v1, 0, 500 * 1152},
      {"with APEv2 and ID3v1 tags", frames + ape + id3v1, 0, 500 * 1152},
      {"one frame", Frames(1, [](int) { return 128; }), 0, 1152},
      {"cut in the last frame", frames.substr(0, frames.size() - 300), 0, 499 * 1152},
      {"the second half at another rate", Frames(500, [](int i) { return i < 250 ? 128 : 192; }), 0,
       0},
      {"VBR", Frames(500, [](int i) { return i % 3 == 0 ? 160 : 96; }), 0, 0},
      {"first offset not a frame", frames, 1, 0},
      {"a long stretch of junk in the middle",
       frames.substr(0, 100000) + std::string(40000, '\x11') + frames.substr(100000), 0, 0},
      {"nothing", "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemorySource source(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(ConstantBitRateSamples(source, c.first), c.samples);
  }
}

}  // namespace
}  // namespace kalvira
