// MPEG audio frame headers (MPEG-1, MPEG-2 and MPEG-2.5, layers I to III) and the
// length of a constant-bit-rate stream, for the MP3 reader: a file without an info frame
// (Xing, Info, VBRI) records no length, but when every frame has the same bit rate its
// length follows from its size, without reading the whole file.
//
// Header layout (32 bits, big-endian): 11 sync bits, version (2), layer (2), no-CRC (1),
// bit-rate index (4), sample-rate index (2), padding (1), private (1), channel mode (2),
// mode extension (2), copyright (1), original (1), emphasis (2).
//
// Threads: plain functions; a source is used by one thread at a time.
// Internal to audio/.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/media_reader.h"

namespace kalvira {

struct MpegFrameHeader {
  enum class Version { kMpeg1, kMpeg2, kMpeg25 };
  Version version = Version::kMpeg1;
  int layer = 3;         // 1, 2 or 3
  int bitrate_kbps = 0;  // never 0: free-format frames are not parsed
  int sample_rate = 0;   // Hz
  bool padding = false;  // one slot more than the average frame
  bool mono = false;     // channel mode 3

  // Bytes of this frame, header included.
  std::uint32_t FrameBytes() const;
  std::uint32_t SamplesPerFrame() const;
  // The average frame size of a constant-bit-rate stream, in bytes, as the fraction
  // AverageBytesNumerator() / sample_rate (padding spreads the remainder over frames).
  std::uint64_t AverageBytesNumerator() const;
  // Whether `other` belongs to the same stream: version, layer, rate and channels.
  bool SameStream(const MpegFrameHeader& other) const;
};

// The header in the 4 bytes at `bytes`; nullopt for anything that is not a valid header
// (no sync, reserved version, layer, bit rate or rate, free format).
std::optional<MpegFrameHeader> ParseMpegFrameHeader(const std::uint8_t* bytes);

// The number of samples per channel of the stream in `source` whose first audio frame
// starts at byte `first_frame`, when the frames sampled across the file all have the
// bit rate of the first: the bytes between the first frame and the end (less an ID3v1
// and an APEv2 tag at the end) divided by the average frame size. 0 when the source
// cannot tell its size, a sampled place holds no run of frames, or the bit rate varies
// (a VBR stream, whose length only a scan of every frame gives).
std::int64_t ConstantBitRateSamples(MediaSource& source, std::int64_t first_frame);

}  // namespace kalvira
