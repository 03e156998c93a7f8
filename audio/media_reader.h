// The platform's media reader as the media inputs (TWMIn, TMP3In) see it: a synchronous
// reader that opens a byte source, offers the output formats of its audio outputs,
// decodes piece by piece into its own buffer, positions by time, and answers the file's
// duration and descriptive attributes by name. CreateMediaReader gives the MP3 reader
// (libmpg123 for the audio, TagLib for the attributes); tests and fuzzers may hand the
// input readers of their own.
//
// Threads: a reader and its source are used by one thread at a time; the input
// serialises its calls. Different readers are independent.
// Ownership: the reader does not own its source; the source must outlive the open reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvira {

// The bytes a reader decodes. Reads are positional, so that tag parsing and decoding
// never disturb each other's place in the stream.
class MediaSource {
 public:
  virtual ~MediaSource() = default;
  // Copies up to `count` bytes from `offset` into `buffer`; returns how many (0 at or past
  // the end), or -1 when the source fails.
  virtual std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) = 0;
  // The length in bytes, or -1 when the source cannot tell.
  virtual std::int64_t Size() = 0;
};

// A source over bytes held in memory (fuzzers, tests). `bytes` must outlive it.
class MemorySource final : public MediaSource {
 public:
  MemorySource(const void* bytes, std::size_t size)
      : bytes_(static_cast<const std::uint8_t*>(bytes)), size_(size) {}
  std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(size_); }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
};

// One PCM format of an output: interleaved integer samples, little-endian; 8-bit samples
// are unsigned, wider ones signed.
struct MediaFormat {
  std::uint32_t channels = 0;
  std::uint32_t sample_rate = 0;
  std::uint32_t bits_per_sample = 0;
  bool operator==(const MediaFormat&) const = default;
};

// Durations and positions are in 100-nanosecond units, as the media runtime counts them.
inline constexpr std::int64_t kMediaTicksPerSecond = 10'000'000;

// Names of the descriptive attributes (the platform's names; text values).
//
// What the MP3 reader puts in them:
// - Sources: the ID3v2 tag (2.2, 2.3, 2.4) first; the ID3v1 tag fills only the
//   attributes the ID3v2 tag lacks or leaves empty. APE tags are not read. An attribute
//   with an empty value is absent.
// - 8-bit text: ID3v1 fields and ID3v2 frames marked ISO-8859-1 are read as
//   Windows-1251, as the platform reads them on a Russian system, so collections tagged
//   there show Cyrillic. ID3v2 frames in UTF-16 or UTF-8 are read as they say. An 8-bit
//   field ends at its first zero byte; ID3v1 fields also lose the blanks around them.
// - Genre: numeric references become the ID3v1 genre names ("13", "(13)" → "Pop"),
//   "(RX)" → "Remix", "(CR)" → "Cover"; a text beside references is the more precise
//   name and wins ("(13)Euro" → "Euro"); several genres (ID3v2.3 "(17)(13)", ID3v2.4
//   lists) are joined by one blank ("Rock Pop"), each name once. An ID3v1 genre byte
//   is its name; 255 (none) leaves the attribute absent.
// - Year: an ID3v2.4 recording time keeps its year ("2001-05-03T10:00" → "2001"); other
//   texts stay as written.
// - Track: the frame's text as written ("3/12"); the ID3v1.1 track byte in decimal.
namespace media_attribute {
inline constexpr std::string_view kAuthor = "Author";  // lead performer
inline constexpr std::string_view kTitle = "Title";
inline constexpr std::string_view kAlbumTitle = "WM/AlbumTitle";
inline constexpr std::string_view kGenre = "WM/Genre";
inline constexpr std::string_view kTrack = "WM/Track";  // track number text
inline constexpr std::string_view kYear = "WM/Year";
inline constexpr std::string_view kCopyright = "Copyright";
}  // namespace media_attribute

class MediaReader {
 public:
  virtual ~MediaReader() = default;

  // Opens the reader on the bytes of `source` from `start` on (earlier bytes are not
  // seen by the decoder). Closes whatever was open. False when the data is not accepted
  // (no audio stream found); the reader is then closed.
  virtual bool Open(MediaSource& source, std::int64_t start) = 0;
  // Releases the source; the data of the last NextSample is gone. Idempotent.
  virtual void Close() = 0;

  // REQUIRES for everything below: the reader is open.
  virtual std::uint32_t OutputCount() const = 0;
  virtual bool IsAudioOutput(std::uint32_t output) const = 0;
  // The output's format as it stands (before any SetOutputFormat: the stream's own).
  virtual MediaFormat CurrentFormat(std::uint32_t output) const = 0;
  // The formats the output can deliver, in the reader's order.
  virtual std::vector<MediaFormat> OutputFormats(std::uint32_t output) const = 0;
  // Full-precision ("discrete") output; changes what OutputFormats offers.
  virtual void SetDiscreteOutput(std::uint32_t output, bool discrete) = 0;
  // Speaker configuration for multichannel output; readers of stereo sources ignore it.
  virtual void SetSpeakerConfig(std::uint32_t output, std::uint32_t config) = 0;
  // Chooses one of OutputFormats(output). False when it is not offered.
  virtual bool SetOutputFormat(std::uint32_t output, const MediaFormat& format) = 0;
  // Protected content cannot be decoded.
  virtual bool IsProtected() const = 0;

  // Decodes the next piece of the chosen output. On success `*data` points into the
  // reader's own buffer and stays valid until the next NextSample, SetRange's effect,
  // Close or destruction; `*length` is a whole number of sample frames. False at the end
  // of the data (and on every call after it) or when decoding fails.
  virtual bool NextSample(const std::uint8_t** data, std::size_t* length) = 0;
  // Positions the next NextSample at `start` (100-ns units from the beginning), to the
  // end. The piece handed out last stays valid until the next NextSample.
  virtual void SetRange(std::int64_t start) = 0;

  // The length of the stream in 100-ns units, 0 when unknown.
  virtual std::int64_t Duration() const = 0;
  // A descriptive attribute as UTF-8 text; nullopt when the file does not hold it.
  virtual std::optional<std::string> Attribute(std::string_view name) const = 0;
};

// The MP3 reader (libmpg123, TagLib). Never null.
std::unique_ptr<MediaReader> CreateMediaReader();

}  // namespace kalvira
