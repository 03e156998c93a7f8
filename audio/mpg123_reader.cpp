// The MP3 media reader: libmpg123 decodes, TagLib reads the descriptive attributes.
//
// libmpg123 reads through replaced I/O callbacks over the MediaSource, so files and
// memory are read alike. TagLib reads the same source through an IOStream of its own;
// reads are positional, so neither disturbs the other. Text that a tag stores in 8-bit
// form (ID3v1 fields, ID3v2 frames marked ISO-8859-1) is decoded as Windows-1251, which is
// how collections tagged on Russian systems were written.
#include <mpg123.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tiostream.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "audio/media_reader.h"
#include "audio/mpeg_frame.h"
#include "base/cp1251.h"
#include "base/text.h"

namespace kalvira {

std::int64_t MemorySource::ReadAt(std::int64_t offset, void* buffer, std::size_t count) {
  if (offset < 0) return -1;
  if (static_cast<std::uint64_t>(offset) >= size_) return 0;
  const std::size_t n = std::min(count, size_ - static_cast<std::size_t>(offset));
  std::memcpy(buffer, bytes_ + offset, n);
  return static_cast<std::int64_t>(n);
}

namespace {

// ---------------------------------------------------------------------------------------
// TagLib set-up: Windows-1251 for 8-bit tag text, no debug output. Process-wide, once.

std::string Cp1251FieldToUtf8(const TagLib::ByteVector& data) {
  std::string_view bytes(data.data(), data.size());
  // A field ends at its first zero byte; ID3v1 pads with zeros, ID3v2 terminates with one.
  if (const auto nul = bytes.find('\0'); nul != std::string_view::npos)
    bytes = bytes.substr(0, nul);
  return Cp1251ToUtf8(bytes);
}

class Cp1251Id3v1Handler final : public TagLib::ID3v1::StringHandler {
 public:
  virtual ~Cp1251Id3v1Handler() = default;
  TagLib::String parse(const TagLib::ByteVector& data) const override {
    return TagLib::String(std::string(TrimBlanks(Cp1251FieldToUtf8(data))), TagLib::String::UTF8);
  }
};

class Cp1251Id3v2Handler final : public TagLib::ID3v2::Latin1StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override {
    return TagLib::String(Cp1251FieldToUtf8(data), TagLib::String::UTF8);
  }
};

class SilentDebugListener final : public TagLib::DebugListener {
 public:
  void printMessage(const TagLib::String&) override {}
};

void SetUpTagLib() {
  static std::once_flag once;
  std::call_once(once, [] {
    static Cp1251Id3v1Handler id3v1_handler;
    static Cp1251Id3v2Handler id3v2_handler;
    static SilentDebugListener listener;
    TagLib::ID3v1::Tag::setStringHandler(&id3v1_handler);
    TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2_handler);
    TagLib::setDebugListener(&listener);
  });
}

// TagLib's view of a MediaSource: read-only, with a position of its own.
class SourceStream final : public TagLib::IOStream {
 public:
  explicit SourceStream(MediaSource& source)
      : source_(source), size_(std::max<std::int64_t>(source.Size(), 0)) {}

  TagLib::FileName name() const override { return ""; }
  TagLib::ByteVector readBlock(unsigned long length) override {
    // Sizes in a damaged tag may claim far more than the source holds: never allocate
    // more than what is left.
    const std::int64_t left = std::max<std::int64_t>(size_ - position_, 0);
    const auto n =
        static_cast<unsigned long>(std::min<std::int64_t>(static_cast<std::int64_t>(length), left));
    TagLib::ByteVector block(static_cast<unsigned int>(n), '\0');
    const std::int64_t got = n == 0 ? 0 : source_.ReadAt(position_, block.data(), n);
    block.resize(static_cast<unsigned int>(std::max<std::int64_t>(got, 0)));
    position_ += block.size();
    return block;
  }
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position from) override {
    std::int64_t base = 0;
    if (from == Current) base = position_;
    if (from == End) base = size_;
    position_ = std::max<std::int64_t>(base + offset, 0);
  }
  long tell() const override { return static_cast<long>(position_); }
  long length() override { return static_cast<long>(size_); }
  void truncate(long) override {}

 private:
  MediaSource& source_;
  const std::int64_t size_;
  std::int64_t position_ = 0;
};

std::string ToUtf8(const TagLib::String& text) {
  return text.to8Bit(true);
}

// The text of the first ID3v2 frame `id`, empty when there is none.
std::string FrameText(const TagLib::ID3v2::Tag& tag, const char* id) {
  const TagLib::ID3v2::FrameListMap& frames = tag.frameListMap();
  const auto it = frames.find(id);
  if (it == frames.end() || it->second.isEmpty()) return {};
  return ToUtf8(it->second.front()->toString());
}

// The genre of a genre frame as the listener knows it. TagLib has already split the
// ID3v2.3 reference syntax ("(13)Pop", "(17)(13)") into fields; ID3v2.4 may hold several
// genres. ID3v1 genre numbers ("13") and the references "RX" and "CR" become names; text
// is the more precise name and wins over numbers: "(13)Pop" and "(13)Euro" are Pop and
// Euro, "(17)(13)" is "Rock Pop".
std::string ResolveGenre(const std::vector<std::string>& fields) {
  std::vector<std::string> names;
  std::vector<std::string> texts;
  auto add = [](std::vector<std::string>& to, std::string value) {
    if (!value.empty() && std::find(to.begin(), to.end(), value) == to.end()) {
      to.push_back(std::move(value));
    }
  };
  for (const std::string& raw : fields) {
    std::string_view field = TrimBlanks(raw);
    if (field.size() >= 2 && field.front() == '(' && field.back() == ')') {
      field = field.substr(1, field.size() - 2);
    }
    const bool numeric =
        !field.empty() && field.size() <= 3 &&
        std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (numeric) {
      add(names, ToUtf8(TagLib::ID3v1::genre(std::stoi(std::string(field)))));
    } else if (field == "RX") {
      add(names, "Remix");
    } else if (field == "CR") {
      add(names, "Cover");
    } else {
      add(texts, std::string(field));
    }
  }
  const std::vector<std::string>& chosen = texts.empty() ? names : texts;
  std::string genre;
  for (const std::string& name : chosen) {
    if (!genre.empty()) genre += ' ';
    genre += name;
  }
  return genre;
}

// A year as the year alone: recording dates of ID3v2.4 ("2001-05-03T10:00") keep their
// first four digits; anything else stays as written.
std::string YearText(std::string_view text) {
  if (text.size() > 4 &&
      std::all_of(text.begin(), text.begin() + 4, [](char c) { return c >= '0' && c <= '9'; }) &&
      (text[4] == '-' || text[4] == 'T')) {
    return std::string(text.substr(0, 4));
  }
  return std::string(text);
}

using AttributeMap = std::map<std::string, std::string, std::less<>>;

// The descriptive attributes of the file in `source`; ID3v2 values win, ID3v1 values
// fill the fields the ID3v2 tag lacks.
AttributeMap ReadAttributes(MediaSource& source) {
  SetUpTagLib();
  SourceStream stream(source);
  TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
  AttributeMap attributes;
  auto put = [&attributes](std::string_view name, std::string value) {
    if (value.empty()) return;
    attributes.emplace(std::string(name), std::move(value));
  };
  if (!file.isValid()) return attributes;
  if (const TagLib::ID3v2::Tag* v2 = file.ID3v2Tag(false)) {
    put(media_attribute::kAuthor, FrameText(*v2, "TPE1"));
    put(media_attribute::kTitle, FrameText(*v2, "TIT2"));
    put(media_attribute::kAlbumTitle, FrameText(*v2, "TALB"));
    put(media_attribute::kTrack, FrameText(*v2, "TRCK"));
    put(media_attribute::kYear, YearText(FrameText(*v2, "TDRC")));
    put(media_attribute::kCopyright, FrameText(*v2, "TCOP"));
    // Each genre of the frame (ID3v2.4 may hold several) resolved on its own.
    const TagLib::ID3v2::FrameListMap& frames = v2->frameListMap();
    if (const auto it = frames.find("TCON"); it != frames.end() && !it->second.isEmpty()) {
      std::vector<std::string> fields;
      if (const auto* text =
              dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(it->second.front())) {
        for (const TagLib::String& field : text->fieldList()) fields.push_back(ToUtf8(field));
      }
      std::string genre = ResolveGenre(fields);
      put(media_attribute::kGenre, std::move(genre));
    }
  }
  if (const TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(false)) {
    // emplace keeps an ID3v2 value already present.
    put(media_attribute::kAuthor, ToUtf8(v1->artist()));
    put(media_attribute::kTitle, ToUtf8(v1->title()));
    put(media_attribute::kAlbumTitle, ToUtf8(v1->album()));
    put(media_attribute::kGenre, ToUtf8(v1->genre()));
    if (v1->track() > 0) put(media_attribute::kTrack, std::to_string(v1->track()));
    if (v1->year() > 0) put(media_attribute::kYear, std::to_string(v1->year()));
  }
  return attributes;
}

// ---------------------------------------------------------------------------------------

int EncodingForBits(std::uint32_t bits) {
  switch (bits) {
    case 8:
      return MPG123_ENC_UNSIGNED_8;
    case 16:
      return MPG123_ENC_SIGNED_16;
    case 24:
      return MPG123_ENC_SIGNED_24;
    case 32:
      return MPG123_ENC_SIGNED_32;
    default:
      return 0;
  }
}

// Whether this libmpg123 can produce `encoding` (at every standard MPEG rate, in mono
// and stereo).
bool EncodingAvailable(int encoding) {
  const int* list = nullptr;
  std::size_t count = 0;
  mpg123_encodings(&list, &count);
  return encoding != 0 && std::find(list, list + count, encoding) != list + count;
}

// mpg123 needs nothing of a global set-up since 1.27, but older libraries do.
void InitMpg123() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

class Mpg123Reader final : public MediaReader {
 public:
  Mpg123Reader() {
    InitMpg123();
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) return;
    // ID3v2 is TagLib's job; mpg123 only skips over it.
    mpg123_param2(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2, 0);
    if (mpg123_replace_reader_handle(handle_, &Mpg123Reader::ReadCallback,
                                     &Mpg123Reader::SeekCallback, nullptr) != MPG123_OK) {
      mpg123_delete(handle_);
      handle_ = nullptr;
    }
  }
  ~Mpg123Reader() override {
    Close();
    if (handle_ != nullptr) mpg123_delete(handle_);
  }
  Mpg123Reader(const Mpg123Reader&) = delete;
  Mpg123Reader& operator=(const Mpg123Reader&) = delete;

  bool Open(MediaSource& source, std::int64_t start) override {
    Close();
    if (handle_ == nullptr) return false;
    source_ = &source;
    start_ = std::max<std::int64_t>(start, 0);
    MediaFormat format;
    if (!OpenStream(&format)) {
      Close();
      return false;
    }
    native_ = format;
    const std::int64_t samples = StreamSamples();
    duration_ = samples > 0 ? (samples * kMediaTicksPerSecond + native_.sample_rate / 2) /
                                  native_.sample_rate
                            : 0;
    attributes_ = ReadAttributes(source);
    return true;
  }

  void Close() override {
    if (handle_ != nullptr && source_ != nullptr) mpg123_close(handle_);
    source_ = nullptr;
    start_ = position_ = 0;
    native_ = chosen_ = MediaFormat{};
    discrete_ = false;
    duration_ = 0;
    pending_seek_.reset();
    ended_ = false;
    attributes_.clear();
  }

  std::uint32_t OutputCount() const override { return source_ != nullptr ? 1 : 0; }
  bool IsAudioOutput(std::uint32_t output) const override { return output < OutputCount(); }
  MediaFormat CurrentFormat(std::uint32_t output) const override {
    if (!IsAudioOutput(output)) return {};
    return chosen_.channels != 0 ? chosen_ : native_;
  }

  // The stream's own rate, mono and stereo, 8 and 16 bits; full precision adds 24 and
  // 32 bits. Ordered by channels, then bits, so the richest format comes last.
  std::vector<MediaFormat> OutputFormats(std::uint32_t output) const override {
    std::vector<MediaFormat> formats;
    if (!IsAudioOutput(output)) return formats;
    for (std::uint32_t channels : {1u, 2u}) {
      for (std::uint32_t bits : {8u, 16u, 24u, 32u}) {
        if (bits > 16 && !discrete_) continue;
        if (!EncodingAvailable(EncodingForBits(bits))) continue;
        formats.push_back({channels, native_.sample_rate, bits});
      }
    }
    return formats;
  }

  void SetDiscreteOutput(std::uint32_t output, bool discrete) override {
    if (IsAudioOutput(output)) discrete_ = discrete;
  }
  void SetSpeakerConfig(std::uint32_t, std::uint32_t) override {}

  bool SetOutputFormat(std::uint32_t output, const MediaFormat& format) override {
    const std::vector<MediaFormat> offered = OutputFormats(output);
    if (std::find(offered.begin(), offered.end(), format) == offered.end()) return false;
    mpg123_format_none(handle_);
    if (mpg123_format(handle_, static_cast<long>(format.sample_rate),
                      format.channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      EncodingForBits(format.bits_per_sample)) != MPG123_OK) {
      return false;
    }
    // The first frame was parsed for the stream's own format; opening the stream again
    // makes the new one apply from the first sample on.
    mpg123_close(handle_);
    MediaFormat now;
    if (!OpenStream(&now) || now != format) {
      chosen_ = MediaFormat{};
      ended_ = true;
      return false;
    }
    chosen_ = format;
    ended_ = false;
    pending_seek_.reset();
    return true;
  }

  bool IsProtected() const override { return false; }

  bool NextSample(const std::uint8_t** data, std::size_t* length) override {
    *data = nullptr;
    *length = 0;
    if (source_ == nullptr || chosen_.channels == 0) return false;
    if (pending_seek_) {
      const std::int64_t target = *pending_seek_;
      pending_seek_.reset();
      if (target == 0) {
        // Back to the start (a loop): a fresh decoder, so the data is exactly that of the
        // first pass. A seek would keep the synthesis state of where decoding stood.
        mpg123_close(handle_);
        MediaFormat format;
        ended_ = !OpenStream(&format) || format != chosen_;
      } else {
        ended_ = mpg123_seek(handle_, static_cast<off_t>(target), SEEK_SET) < 0;
      }
    }
    if (ended_) return false;
    // A damaged stream may yield many frames without audio; give up after a bound so a
    // read never spins.
    for (int empty = 0; empty < kMaxEmptyDecodes; ++empty) {
      off_t frame = 0;
      unsigned char* audio = nullptr;
      std::size_t bytes = 0;
      const int result = mpg123_decode_frame(handle_, &frame, &audio, &bytes);
      if (result == MPG123_NEW_FORMAT) {
        // The stream changed its format midway: what follows is not the chosen format.
        if (CurrentDecoderFormat() != chosen_) break;
        continue;
      }
      if (result != MPG123_OK) break;
      const std::size_t frame_bytes = chosen_.channels * (chosen_.bits_per_sample / 8);
      bytes -= bytes % frame_bytes;
      if (bytes > 0 && audio != nullptr) {
        *data = audio;
        *length = bytes;
        return true;
      }
    }
    ended_ = true;
    return false;
  }

  void SetRange(std::int64_t start) override {
    if (source_ == nullptr || chosen_.channels == 0) return;
    // Applied at the next NextSample: the piece handed out last stays intact until then.
    start = std::max<std::int64_t>(start, 0);
    pending_seek_ = (start * chosen_.sample_rate + kMediaTicksPerSecond / 2) / kMediaTicksPerSecond;
    ended_ = false;
  }

  std::int64_t Duration() const override { return duration_; }

  std::optional<std::string> Attribute(std::string_view name) const override {
    const auto it = attributes_.find(name);
    if (it == attributes_.end()) return std::nullopt;
    return it->second;
  }

 private:
  static constexpr int kMaxEmptyDecodes = 4096;
  // Bytes before the first audio frame searched for an info frame: more than the largest
  // frame.
  static constexpr std::int64_t kInfoFrameWindow = 4096;

  // Opens mpg123 on the source from start_ and parses up to the first frame.
  bool OpenStream(MediaFormat* format) {
    position_ = 0;
    if (mpg123_open_handle(handle_, this) != MPG123_OK) return false;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        (channels != 1 && channels != 2)) {
      return false;
    }
    *format = {static_cast<std::uint32_t>(channels), static_cast<std::uint32_t>(rate),
               static_cast<std::uint32_t>(mpg123_encsize(encoding) * 8)};
    return true;
  }

  // The stream's length in samples per channel; 0 when it cannot be known. An info
  // frame records it. Without one, mpg123's own length is a guess from the first frames'
  // bit rate, which for VBR can be half the real length or less (and a length that falls
  // short would end the run early): a constant-bit-rate stream's length follows from its
  // size; any other is scanned frame by frame, which reads the whole file.
  std::int64_t StreamSamples() {
    if (HasInfoFrame()) return std::max<std::int64_t>(mpg123_length(handle_), 0);
    const off_t first = mpg123_framepos(handle_);
    if (first < 0) return 0;
    const std::int64_t samples = ConstantBitRateSamples(*source_, start_ + first);
    if (samples > 0) return samples;
    if (source_->Size() <= 0 || mpg123_scan(handle_) != MPG123_OK) return 0;
    return std::max<std::int64_t>(mpg123_length(handle_), 0);
  }

  // Whether an info frame (Xing, Info or VBRI) precedes the first audio frame: the
  // encoder's record of the exact length.
  bool HasInfoFrame() {
    const off_t first = mpg123_framepos(handle_);
    if (first < 0) return false;
    const std::int64_t begin = std::max<std::int64_t>(first - kInfoFrameWindow, 0);
    std::vector<std::uint8_t> window(static_cast<std::size_t>(first + 64 - begin));
    const std::int64_t n = source_->ReadAt(start_ + begin, window.data(), window.size());
    if (n <= 0) return false;
    window.resize(static_cast<std::size_t>(n));
    auto tag_at = [&window](std::size_t at, const char* tag) {
      return at + 4 <= window.size() && std::memcmp(window.data() + at, tag, 4) == 0;
    };
    for (std::size_t p = 0; p + 4 <= window.size(); ++p) {
      if (window[p] != 0xFF || (window[p + 1] & 0xE0) != 0xE0) continue;
      // After the header and the side information (9, 17 or 32 bytes), or at 36.
      for (std::size_t side : {9u, 17u, 32u}) {
        if (tag_at(p + 4 + side, "Xing") || tag_at(p + 4 + side, "Info")) return true;
      }
      if (tag_at(p + 36, "VBRI")) return true;
    }
    return false;
  }

  MediaFormat CurrentDecoderFormat() {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK) return {};
    return {static_cast<std::uint32_t>(channels), static_cast<std::uint32_t>(rate),
            static_cast<std::uint32_t>(mpg123_encsize(encoding) * 8)};
  }

  static mpg123_ssize_t ReadCallback(void* handle, void* buffer, std::size_t count) {
    auto* self = static_cast<Mpg123Reader*>(handle);
    const std::int64_t n = self->source_->ReadAt(self->start_ + self->position_, buffer, count);
    if (n < 0) return -1;
    self->position_ += n;
    return static_cast<mpg123_ssize_t>(n);
  }

  static off_t SeekCallback(void* handle, off_t offset, int whence) {
    auto* self = static_cast<Mpg123Reader*>(handle);
    std::int64_t base = 0;
    if (whence == SEEK_CUR) {
      base = self->position_;
    } else if (whence == SEEK_END) {
      const std::int64_t size = self->source_->Size();
      if (size < 0) return -1;
      base = std::max<std::int64_t>(size - self->start_, 0);
    } else if (whence != SEEK_SET) {
      return -1;
    }
    const std::int64_t target = base + offset;
    if (target < 0) return -1;
    self->position_ = target;
    return static_cast<off_t>(target);
  }

  mpg123_handle* handle_ = nullptr;  // null when libmpg123 could not make one

  MediaSource* source_ = nullptr;  // null while closed
  std::int64_t start_ = 0;         // the source offset of the decoder's byte 0
  std::int64_t position_ = 0;      // the decoder's read position, from start_
  MediaFormat native_;             // the stream's own format
  MediaFormat chosen_;             // zero until SetOutputFormat succeeded
  bool discrete_ = false;
  std::int64_t duration_ = 0;
  std::optional<std::int64_t> pending_seek_;  // sample frame for the next NextSample
  bool ended_ = false;
  AttributeMap attributes_;
};

}  // namespace

std::unique_ptr<MediaReader> CreateMediaReader() {
  return std::make_unique<Mpg123Reader>();
}

}  // namespace kalvira
