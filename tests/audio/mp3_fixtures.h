// Real MP3 files for the audio tests, made at test time: a tone synthesised by sox and
// encoded by lame, and the bytes of ID3v1 and ID3v2 tags built here, so that a test can
// put exactly the encodings it means into a file. The mpg123 command-line tool gives the
// reference decoding. Every helper fails the calling test (ADD_FAILURE) when a tool
// fails. Test threads only; no shared state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalvira::testing {

// What MakeMp3 encodes: Mp3Recipe(22050, 1, 0.5).Bitrate(64).Lame({"--tt", "Title"}).
struct Mp3Recipe {
  explicit Mp3Recipe(int rate = 44100, int channel_count = 2, double length_seconds = 1.0)
      : sample_rate(rate), channels(channel_count), seconds(length_seconds) {}
  Mp3Recipe& Bitrate(int kbps) {
    bitrate_kbps = kbps;
    return *this;
  }
  Mp3Recipe& Lame(std::vector<std::string> options) {
    lame_options = std::move(options);
    return *this;
  }

  int sample_rate;
  int channels;
  double seconds;
  int bitrate_kbps = 128;  // constant bit rate
  // Passed to lame as they stand, e.g. {"--tt", "Title", "--id3v2-only"}. Without tag
  // options lame writes no tag.
  std::vector<std::string> lame_options;
};

// Encodes a tone (440 Hz left, 660 Hz right) of `recipe` into `path`. False when a tool
// failed (the test has then failed already).
bool MakeMp3(const std::string& path, const Mp3Recipe& recipe = Mp3Recipe());

// The same file as bytes (made in a temporary folder).
std::string MakeMp3Bytes(const Mp3Recipe& recipe = Mp3Recipe());

// The mpg123 tool's decoding of `path`: signed 16-bit little-endian PCM, interleaved, at
// the file's own rate and channel count.
std::optional<std::string> DecodeWithMpg123Tool(const std::string& path);

// ID3v2 text encodings (the byte in front of a text frame's payload).
enum class Id3Encoding : std::uint8_t { kLatin1 = 0, kUtf16 = 1, kUtf16Be = 2, kUtf8 = 3 };

// UTF-8 text as the payload of a frame of `encoding`: UTF-16 with a little-endian byte
// order mark, UTF-16BE, or UTF-8 as it stands. kLatin1 takes the text's bytes unchanged,
// so a test can store Windows-1251 bytes in a frame marked ISO-8859-1.
std::string EncodeId3Text(Id3Encoding encoding, std::string_view text);

// One text frame ("TIT2", or "TT2" for version 2) of an ID3v2 tag of `major_version`
// (2, 3 or 4), its payload encoded by EncodeId3Text.
std::string Id3v2TextFrame(int major_version, std::string_view id, Id3Encoding encoding,
                           std::string_view text);

// A whole ID3v2 tag of `major_version` holding `frames`, with `padding` zero bytes.
std::string Id3v2Tag(int major_version, const std::vector<std::string>& frames,
                     std::size_t padding = 0);

// The 128 bytes of an ID3v1.1 tag. Texts are raw bytes (cut or zero-padded to their
// field); track 0 means none (ID3v1.0 layout); genre 255 means none.
struct Id3v1Fields {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
  std::string comment;
  int track = 0;
  int genre = 255;
};
std::string Id3v1Tag(const Id3v1Fields& fields);

}  // namespace kalvira::testing
