#include "audio/wm_in.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/au_exception.h"
#include "base/cp1251.h"

namespace kalvira {

// The reader's view of the input's stream (the platform's stream adapter). Positional
// reads on a sequential stream: it seeks only when the reader jumps. Stream errors become
// failed reads; the reader then treats the data as ended.
class TWMIn::StreamSource final : public MediaSource {
 public:
  explicit StreamSource(TAuStream& stream) : stream_(stream) {}

  std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) override {
    try {
      if (offset != position_) {
        position_ = -1;  // unknown until the seek has succeeded
        position_ = stream_.Seek(offset, SEEK_SET);
        if (position_ != offset) return -1;
      }
      const std::size_t n = stream_.Read(buffer, count);
      position_ += static_cast<std::int64_t>(n);
      return static_cast<std::int64_t>(n);
    } catch (const EAuException&) {
      position_ = -1;
      return -1;
    }
  }

  std::int64_t Size() override {
    try {
      return stream_.Size();
    } catch (const EAuException&) {
      return -1;
    }
  }

 private:
  TAuStream& stream_;
  std::int64_t position_ = -1;  // of the stream, -1 when unknown
};

namespace {

// The channel request of each TChannelsNumber value.
int ChannelRequest(TChannelsNumber value) {
  switch (value) {
    case TChannelsNumber::cnMaxAvailable:
      return -1;
    case TChannelsNumber::cnMonoOrStereo:
      return 0;
    case TChannelsNumber::cn5dot1:
      return 6;
    case TChannelsNumber::cn7dot1:
      return 8;
  }
  return 0;
}

// A text attribute as the platform hands it out: the text up to its first zero
// character; empty when the attribute is absent.
std::string AttributeText(const MediaReader& reader, std::string_view name) {
  std::string text = reader.Attribute(name).value_or(std::string());
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace

TWMIn::TWMIn() : factory_(&CreateMediaReader) {}

TWMIn::~TWMIn() {
  ShutdownInput();
}

void TWMIn::SetReaderFactory(ReaderFactory factory) {
  AuRecursiveLock lock(open_lock_);
  factory_ = std::move(factory);
}

void TWMIn::SetHighPrecision(bool value) {
  if (Busy() || OutputChannels() != TChannelsNumber::cnMonoOrStereo) return;
  high_precision_.store(value);
  if (OpenCount() > 0) {
    CloseFile();
    OpenFile();
  }
}

void TWMIn::SetOutputChannels(TChannelsNumber value) {
  if (Busy()) return;
  if (value != TChannelsNumber::cnMonoOrStereo) high_precision_.store(true);
  output_channels_.store(value);
  if (OpenCount() > 0) {
    CloseFile();
    OpenFile();
  }
}

TId3v2Tags& TWMIn::Id3v2Tags() {
  OpenFile();
  CloseIfRefused();
  return id3v2_tags_;
}

void TWMIn::CloseIfRefused() {
  if (refused_.load()) CloseFile();
}

std::uint32_t TWMIn::GetBitsPerSample() {
  const std::uint32_t value = TAuTaggedFileIn::GetBitsPerSample();
  CloseIfRefused();
  return value;
}

std::uint32_t TWMIn::GetChannels() {
  const std::uint32_t value = TAuTaggedFileIn::GetChannels();
  CloseIfRefused();
  return value;
}

std::uint32_t TWMIn::GetSampleRate() {
  const std::uint32_t value = TAuTaggedFileIn::GetSampleRate();
  CloseIfRefused();
  return value;
}

std::int32_t TWMIn::GetTotalTime() {
  const std::int32_t value = TAuTaggedFileIn::GetTotalTime();
  CloseIfRefused();
  return value;
}

std::int64_t TWMIn::GetTotalSamples() {
  const std::int64_t value = TAuTaggedFileIn::GetTotalSamples();
  CloseIfRefused();
  return value;
}

void TWMIn::OpenFileCore() {
  refused_.store(false);
  reader_open_.store(false);
  if (!StreamAssigned() && FileName().empty()) {
    throw EAuException(wm_messages::kFileNameNotAssigned);
  }
  TAuStream* stream = OpenStream();  // raises the system's message
  OpenReader(*stream, HighPrecision(), ChannelRequest(OutputChannels()));
  if (!state_.reader) {
    // The reader did not take the data. No error, but nothing of an earlier file may
    // remain: the program announces and sorts by these fields right after the open.
    refused_.store(true);
    SetFormat(0, 0, 0);
    SetSize(0);
    SetTotalSamplesField(0);
    duration_cs_.store(0);
    for (const char* key : {"TPE1", "TIT2", "TALB", "TCON", "TRCK", "TYER", "COMM"}) {
      id3v2_tags_.Set(key, std::string());
    }
    RewindSuppliedStream();
    return;
  }
  if (!state_.has_audio) {
    CloseReader();
    RewindSuppliedStream();
    throw EAuException(wm_messages::kNoAudioFormat);
  }
  if (state_.is_protected) {
    CloseReader();
    RewindSuppliedStream();
    throw EAuException(wm_messages::kFileIsProtected);
  }
  // Hundredths of a second, halves to even.
  const std::int32_t duration_cs =
      static_cast<std::int32_t>(std::nearbyint(static_cast<double>(state_.duration) / 100000.0));
  duration_cs_.store(duration_cs);
  SetFormat(state_.bits_per_sample, state_.sample_rate, state_.channels);
  const std::int64_t total_samples =
      static_cast<std::int64_t>(duration_cs) * state_.sample_rate / 100;
  SetTotalSamplesField(total_samples);
  SetSize(total_samples * state_.channels * (state_.bits_per_sample / 8));
  SetSeekable(true);
  FillTags();
  reader_open_.store(true);
}

void TWMIn::OpenReader(TAuStream& stream, bool high_precision, int channel_request) {
  state_ = ReaderState{};
  state_.reader = factory_ ? factory_() : nullptr;
  if (!state_.reader) return;
  state_.adapter = std::make_unique<StreamSource>(stream);
  MediaReader& reader = *state_.reader;
  // Some files carry junk before the audio that the reader only skips from byte 30 on.
  if (!reader.Open(*state_.adapter, 0) && !reader.Open(*state_.adapter, 30)) {
    state_ = ReaderState{};
    return;
  }
  // Of several qualifying formats, the one enumerated last is the one in force.
  MediaFormat accepted;
  const std::uint32_t outputs = reader.OutputCount();
  for (std::uint32_t i = 0; i < outputs; ++i) {
    if (!reader.IsAudioOutput(i)) continue;
    reader.SetDiscreteOutput(i, high_precision);
    if (channel_request == 0) {
      const MediaFormat current = reader.CurrentFormat(i);
      state_.sample_rate = current.sample_rate;
      state_.channels = current.channels;
      for (const MediaFormat& format : reader.OutputFormats(i)) {
        if (format.bits_per_sample >= state_.bits_per_sample &&
            format.sample_rate == state_.sample_rate && format.channels == state_.channels) {
          state_.has_audio = true;
          state_.output_index = i;
          state_.bits_per_sample = format.bits_per_sample;
          accepted = format;
        }
      }
    } else {
      if (channel_request > 2) {
        reader.SetSpeakerConfig(i, static_cast<std::uint32_t>(channel_request));
      }
      for (const MediaFormat& format : reader.OutputFormats(i)) {
        const bool richer = channel_request < 0 && format.channels >= state_.channels &&
                            format.sample_rate >= state_.sample_rate &&
                            format.bits_per_sample >= state_.bits_per_sample;
        const bool wanted =
            channel_request > 0 && format.channels == static_cast<std::uint32_t>(channel_request);
        if (richer || wanted) {
          state_.has_audio = true;
          state_.output_index = i;
          state_.channels = format.channels;
          state_.sample_rate = format.sample_rate;
          state_.bits_per_sample = format.bits_per_sample;
          accepted = format;
        }
      }
    }
  }
  if (!state_.has_audio) return;
  if (!reader.SetOutputFormat(state_.output_index, accepted)) {
    state_.has_audio = false;
    return;
  }
  state_.is_protected = reader.IsProtected();
  state_.duration = std::max<std::int64_t>(reader.Duration(), 0);
}

void TWMIn::CloseReader() {
  if (state_.reader) state_.reader->Close();
  state_ = ReaderState{};
}

void TWMIn::RewindSuppliedStream() {
  if (!StreamAssigned() || Stream() == nullptr) return;
  try {
    Stream()->Seek(0, SEEK_SET);
  } catch (const EAuException&) {
    // A stream that cannot move back is read from where it stands next time.
  }
}

void TWMIn::FillTags() {
  const MediaReader& reader = *state_.reader;
  id3v2_tags_.SetArtist(AttributeText(reader, media_attribute::kAuthor));
  id3v2_tags_.SetTitle(AttributeText(reader, media_attribute::kTitle));
  id3v2_tags_.SetAlbum(AttributeText(reader, media_attribute::kAlbumTitle));
  id3v2_tags_.SetGenre(AttributeText(reader, media_attribute::kGenre));
  // Track and Year are 8-bit text: what the code page lacks becomes "?".
  id3v2_tags_.SetTrack(Utf8ToCp1251(AttributeText(reader, media_attribute::kTrack)));
  id3v2_tags_.SetYear(Utf8ToCp1251(AttributeText(reader, media_attribute::kYear)));
  id3v2_tags_.SetComment(AttributeText(reader, media_attribute::kCopyright));
}

void TWMIn::CloseFileCore() {
  refused_.store(false);
  reader_open_.store(false);
  CloseReader();
  RewindSuppliedStream();
}

void TWMIn::ReadCore(const std::uint8_t*& data, std::uint32_t& bytes) {
  if (!state_.reader) throw EAuException(au_messages::kFileNotOpen);
  const std::int64_t size = Size();
  if (size > 0 && size - Position() < static_cast<std::int64_t>(bytes)) {
    bytes = static_cast<std::uint32_t>(std::max<std::int64_t>(size - Position(), 0));
  }
  for (;;) {
    if (state_.sample != nullptr) {
      if (state_.buffer_offset < state_.sample_length) {
        const std::size_t left = state_.sample_length - state_.buffer_offset;
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(bytes, left));
        data = state_.sample + state_.buffer_offset;
        bytes = n;
        state_.buffer_offset += n;
        return;
      }
      state_.sample = nullptr;
      state_.sample_length = 0;
      state_.buffer_offset = 0;
    }
    const std::uint8_t* piece = nullptr;
    std::size_t length = 0;
    if (!state_.reader->NextSample(&piece, &length)) {
      data = nullptr;
      bytes = 0;
      return;
    }
    state_.sample = piece;
    state_.sample_length = length;
  }
}

bool TWMIn::SeekCore(std::int64_t sample) {
  if (!Busy() || !state_.reader || state_.sample_rate == 0) return false;
  // The position as a time, in hundredths of a second. (Scaling by the run's length
  // instead would place every seek early: TMP3In's run length holds an extra third of a
  // second.)
  const double position_cs =
      std::nearbyint(static_cast<double>(sample) * 100.0 / static_cast<double>(state_.sample_rate));
  state_.reader->SetRange(static_cast<std::int64_t>(position_cs) * 100000);
  return true;
}

}  // namespace kalvira
