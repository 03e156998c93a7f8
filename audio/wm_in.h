// TWMIn, the media-reader input: decodes a file (or a supplied stream) through the
// platform's media reader (media_reader.h) and fills its tag record from the reader's
// attributes. TMP3In (mp3_in.h) is the MP3 input the program uses.
//
// Threads: as every file input (au_input.h). The user-interface thread sets FileName,
// reads the format and the tag record (which opens the file when it is closed); the
// output's worker runs BeginRun, Read, Seek and EndRun. OpenLock makes exactly one of
// them open the file. HighPrecision and OutputChannels are set on the user-interface
// thread.
//
// Ownership: the input owns its reader, the reader's source over Stream, and its tag
// records. Pointers handed out by Read point into the reader's buffer and stay valid
// until the next call on the input.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "audio/au_input.h"
#include "audio/au_tags.h"
#include "audio/media_reader.h"

namespace kalvira {

// Which output format of the file to choose.
enum class TChannelsNumber {
  cnMaxAvailable,  // the most channels, highest rate and most bits
  cnMonoOrStereo,  // the file's own channels and rate, with the most bits offered
  cn5dot1,         // a six-channel format
  cn7dot1,         // an eight-channel format
};

// Texts of the media input's errors.
namespace wm_messages {
inline constexpr const char* kFileNameNotAssigned = "File name is not assigned";
inline constexpr const char* kFileIsProtected = "File is protected";
// Our own text: the reader offers no audio format for the request (a file without audio,
// or a six- or eight-channel request on a stereo file).
inline constexpr const char* kNoAudioFormat = "The file has no audio in the requested format";
}  // namespace wm_messages

class TWMIn : public TAuTaggedFileIn {
 public:
  using ReaderFactory = std::function<std::unique_ptr<MediaReader>()>;

  TWMIn();
  ~TWMIn() override;

  // Ask the reader for its full-precision output. Ignored while busy or while
  // OutputChannels is not cnMonoOrStereo; an open file is closed and opened again.
  bool HighPrecision() const { return high_precision_.load(); }
  void SetHighPrecision(bool value);
  // Ignored while busy; anything but cnMonoOrStereo also sets HighPrecision. An open file
  // is closed and opened again.
  TChannelsNumber OutputChannels() const { return output_channels_.load(); }
  void SetOutputChannels(TChannelsNumber value);

  // Length of the file in hundredths of a second, from its last successful open.
  std::int32_t DurationCs() const { return duration_cs_.load(); }

  // The ID3v2 record: opens the file if it is closed, then returns the record, filled at
  // that open. Raises what OpenFile raises. After an open that the reader refused
  // without an error (data that is not audio), the seven filled fields are empty and the
  // format is zero; the input is closed again.
  TId3v2Tags& Id3v2Tags();
  // Never filled; kept for the layout of a tagged input.
  TId3v1Tags& Id3v1Tags() { return id3v1_tags_; }
  TAPEv2Tags& APEv2Tags() { return apev2_tags_; }

  // The format getters close an input again whose reader refused the file.
  std::uint32_t GetBitsPerSample() override;
  std::uint32_t GetChannels() override;
  std::uint32_t GetSampleRate() override;
  std::int32_t GetTotalTime() override;
  std::int64_t GetTotalSamples() override;

  // Replaces the media reader for the next opens (tests, fuzzers). A factory may return
  // null: the reader cannot be created.
  void SetReaderFactory(ReaderFactory factory);

 protected:
  void OpenFileCore() override REQUIRES(open_lock_);
  void CloseFileCore() override REQUIRES(open_lock_);
  void ReadCore(const std::uint8_t*& data, std::uint32_t& bytes) override REQUIRES(data_lock_);
  bool SeekCore(std::int64_t sample) override REQUIRES(data_lock_);

  // True when the last OpenFileCore found a reader that took the file.
  bool ReaderOpen() const { return reader_open_.load(); }
  // The format chosen at the open, without opening (inside OpenFileCore).
  MediaFormat OpenFormat() const REQUIRES(open_lock_) {
    return {state_.channels, state_.sample_rate, state_.bits_per_sample};
  }

 private:
  class StreamSource;

  // The reader state: cleared at every open. Written by OpenFileCore and CloseFileCore
  // (under OpenLock; CloseFile also holds DataLock), read by ReadCore and SeekCore under
  // DataLock while the file is open, so the two never overlap.
  struct ReaderState {
    std::unique_ptr<StreamSource> adapter;
    std::unique_ptr<MediaReader> reader;   // none: the file is not open
    const std::uint8_t* sample = nullptr;  // the piece being handed out
    std::size_t sample_length = 0;
    std::uint32_t buffer_offset = 0;  // bytes of the piece handed out
    std::uint32_t output_index = 0;
    bool has_audio = false;
    bool is_protected = false;
    std::uint32_t channels = 0;
    std::uint32_t sample_rate = 0;
    std::uint32_t bits_per_sample = 0;
    std::int64_t duration = 0;  // 100-ns units, 0 when unknown
  };

  void OpenReader(TAuStream& stream, bool high_precision, int channel_request) REQUIRES(open_lock_);
  void CloseReader() REQUIRES(open_lock_);
  // Rewinds a supplied stream; an own stream goes with CloseFile.
  void RewindSuppliedStream();
  void FillTags() REQUIRES(open_lock_);
  // Opens for a query and closes again when the reader refused the file.
  void CloseIfRefused();

  ReaderState state_;
  ReaderFactory factory_ GUARDED_BY(open_lock_);

  std::atomic<bool> high_precision_{false};
  std::atomic<TChannelsNumber> output_channels_{TChannelsNumber::cnMonoOrStereo};
  std::atomic<std::int32_t> duration_cs_{0};
  std::atomic<bool> reader_open_{false};
  std::atomic<bool> refused_{false};

  TId3v1Tags id3v1_tags_;
  TId3v2Tags id3v2_tags_;
  TAPEv2Tags apev2_tags_;
};

}  // namespace kalvira
