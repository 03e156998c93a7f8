#include "audio/mpeg_frame.h"

#include <array>
#include <cstring>
#include <vector>

namespace kalvira {

namespace {

using Version = MpegFrameHeader::Version;

// Bit rates in kbit/s by index 1 to 14 (0 is free format, 15 is reserved).
constexpr std::array<std::array<int, 15>, 3> kMpeg1Rates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // layer III
}};
constexpr std::array<std::array<int, 15>, 2> kMpeg2Rates = {{
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // layers II, III
}};
constexpr std::array<int, 3> kMpeg1SampleRates = {44100, 48000, 32000};

// Bytes searched for a run of frames at a sampled place: more than the largest frame.
constexpr std::int64_t kSearchBytes = 4096;
// The largest frame: MPEG-2.5 layer II at 160 kbit/s and 8 kHz, padded.
constexpr std::int64_t kMaxFrameBytes = 2881;
// Frames checked from the first frame on, and at each sampled place.
constexpr int kLeadFrames = 16;
constexpr int kRunFrames = 3;
// Places sampled between the first frame and the end, evenly spread.
constexpr int kPlaces = 3;

constexpr std::int64_t kId3v1Bytes = 128;
constexpr std::int64_t kApeFooterBytes = 32;
constexpr std::uint32_t kApeHasHeader = 0x80000000u;

std::vector<std::uint8_t> ReadSome(MediaSource& source, std::int64_t offset, std::int64_t count) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count > 0 ? count : 0));
  const std::int64_t n = bytes.empty() ? 0 : source.ReadAt(offset, bytes.data(), bytes.size());
  bytes.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return bytes;
}

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// Where the audio ends: the size less an ID3v1 tag and an APEv2 tag (which, when both
// are there, stands before the ID3v1 tag).
std::int64_t AudioEnd(MediaSource& source, std::int64_t size, std::int64_t first) {
  std::int64_t end = size;
  if (end - kId3v1Bytes >= first) {
    const std::vector<std::uint8_t> tag = ReadSome(source, end - kId3v1Bytes, 3);
    if (tag.size() == 3 && std::memcmp(tag.data(), "TAG", 3) == 0) end -= kId3v1Bytes;
  }
  if (end - kApeFooterBytes >= first) {
    const std::vector<std::uint8_t> footer =
        ReadSome(source, end - kApeFooterBytes, kApeFooterBytes);
    if (footer.size() == kApeFooterBytes && std::memcmp(footer.data(), "APETAGEX", 8) == 0) {
      std::int64_t bytes = Le32(footer.data() + 12);  // items and footer
      if (Le32(footer.data() + 20) & kApeHasHeader) bytes += kApeFooterBytes;
      if (bytes <= end - first) end -= bytes;
    }
  }
  return end;
}

enum class Rates { kSame, kOther, kNoFrames };

struct Run {
  Rates rates = Rates::kNoFrames;
  std::int64_t end = 0;  // where the frames found end
};

// Looks for `frames` consecutive frames of `first`'s stream starting in the `search`
// bytes from `offset` (a run may stop short where the audio ends) and tells whether they
// all have `first`'s bit rate.
Run RunNear(MediaSource& source, std::int64_t offset, std::int64_t search, std::int64_t end,
            const MpegFrameHeader& first, int frames) {
  const std::int64_t wanted = std::min(search + frames * kMaxFrameBytes, end - offset);
  const std::vector<std::uint8_t> bytes = ReadSome(source, offset, wanted);
  const auto size = static_cast<std::int64_t>(bytes.size());
  for (std::int64_t start = 0; start < search && start + 4 <= size; ++start) {
    std::int64_t pos = start;
    int found = 0;
    bool same_rate = true;
    while (found < frames && pos + 4 <= size) {
      const std::optional<MpegFrameHeader> header = ParseMpegFrameHeader(bytes.data() + pos);
      if (!header || !header->SameStream(first)) break;
      same_rate = same_rate && header->bitrate_kbps == first.bitrate_kbps;
      ++found;
      pos += header->FrameBytes();
    }
    const bool at_end = offset + pos >= end;
    if (found == frames || (found > 0 && at_end)) {
      return {same_rate ? Rates::kSame : Rates::kOther, offset + pos};
    }
  }
  return {};
}

}  // namespace

std::uint32_t MpegFrameHeader::SamplesPerFrame() const {
  if (layer == 1) return 384;
  if (layer == 2 || version == Version::kMpeg1) return 1152;
  return 576;
}

std::uint64_t MpegFrameHeader::AverageBytesNumerator() const {
  // Bytes per frame = samples per frame / 8 * bit rate / sample rate.
  return std::uint64_t{SamplesPerFrame()} / 8 * static_cast<std::uint64_t>(bitrate_kbps) * 1000;
}

std::uint32_t MpegFrameHeader::FrameBytes() const {
  const auto rate = static_cast<std::uint64_t>(sample_rate);
  if (layer == 1) {
    // Layer I counts in 4-byte slots.
    return static_cast<std::uint32_t>((AverageBytesNumerator() / 4 / rate + padding) * 4);
  }
  return static_cast<std::uint32_t>(AverageBytesNumerator() / rate + padding);
}

bool MpegFrameHeader::SameStream(const MpegFrameHeader& other) const {
  return version == other.version && layer == other.layer && sample_rate == other.sample_rate &&
         mono == other.mono;
}

std::optional<MpegFrameHeader> ParseMpegFrameHeader(const std::uint8_t* bytes) {
  if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
  MpegFrameHeader header;
  switch ((bytes[1] >> 3) & 3) {
    case 0:
      header.version = Version::kMpeg25;
      break;
    case 2:
      header.version = Version::kMpeg2;
      break;
    case 3:
      header.version = Version::kMpeg1;
      break;
    default:
      return std::nullopt;  // reserved
  }
  const int layer_bits = (bytes[1] >> 1) & 3;
  if (layer_bits == 0) return std::nullopt;
  header.layer = 4 - layer_bits;
  const int rate_index = bytes[2] >> 4;
  const int sample_index = (bytes[2] >> 2) & 3;
  if (rate_index == 0 || rate_index == 15 || sample_index == 3) return std::nullopt;
  const auto layer_row = static_cast<std::size_t>(header.layer - 1);
  const auto rate_column = static_cast<std::size_t>(rate_index);
  if (header.version == Version::kMpeg1) {
    header.bitrate_kbps = kMpeg1Rates[layer_row][rate_column];
  } else {
    header.bitrate_kbps = kMpeg2Rates[header.layer == 1 ? 0 : 1][rate_column];
  }
  const int divisor = header.version == Version::kMpeg1   ? 1
                      : header.version == Version::kMpeg2 ? 2
                                                          : 4;
  header.sample_rate = kMpeg1SampleRates[static_cast<std::size_t>(sample_index)] / divisor;
  header.padding = (bytes[2] >> 1) & 1;
  header.mono = (bytes[3] >> 6) == 3;
  return header;
}

std::int64_t ConstantBitRateSamples(MediaSource& source, std::int64_t first_frame) {
  const std::int64_t size = source.Size();
  if (size <= 0 || first_frame < 0 || first_frame + 4 > size) return 0;
  const std::vector<std::uint8_t> head = ReadSome(source, first_frame, 4);
  if (head.size() != 4) return 0;
  const std::optional<MpegFrameHeader> first = ParseMpegFrameHeader(head.data());
  if (!first) return 0;
  const std::int64_t end = AudioEnd(source, size, first_frame);
  const Run lead = RunNear(source, first_frame, 1, end, *first, kLeadFrames);
  if (lead.rates != Rates::kSame) return 0;
  for (int place = 1; place <= kPlaces; ++place) {
    const std::int64_t offset = first_frame + (end - first_frame) * place / (kPlaces + 1);
    if (offset < lead.end) continue;  // checked already
    if (RunNear(source, offset, kSearchBytes, end, *first, kRunFrames).rates != Rates::kSame) {
      return 0;
    }
  }
  // Frames = bytes / average frame size, to the nearest frame: padding keeps every
  // prefix of the stream within a byte of the average.
  const auto bytes = static_cast<std::uint64_t>(end - first_frame);
  const std::uint64_t numerator = first->AverageBytesNumerator();
  const std::uint64_t frames =
      (bytes * static_cast<std::uint64_t>(first->sample_rate) * 2 + numerator) / (2 * numerator);
  return static_cast<std::int64_t>(frames * first->SamplesPerFrame());
}

}  // namespace kalvira
