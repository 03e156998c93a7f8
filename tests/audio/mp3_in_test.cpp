// TMP3In over real MP3 files made by lame: the run's PCM against the mpg123 tool, the
// format and length fields, the tag record, the errors, and bad files. A scripted reader
// stands in for the media reader only to force what real files cannot (protected content,
// a reader that is missing or takes the data only from byte 30, odd durations).
#include "audio/mp3_in.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "audio/au_exception.h"
#include "base/cp1251.h"
#include "tests/audio/mp3_fixtures.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using namespace std::string_literals;

using testing::Id3Encoding;
using testing::Id3v2Tag;
using testing::Id3v2TextFrame;
using testing::Mp3Recipe;

// Reads in requests of `chunk` bytes until a read delivers nothing.
std::string ReadToEnd(TAuInput& input, std::uint32_t chunk) {
  std::string pcm;
  for (;;) {
    const std::uint8_t* data = nullptr;
    std::uint32_t bytes = chunk;
    input.Read(data, bytes);
    if (bytes == 0) break;
    pcm.append(reinterpret_cast<const char*>(data), bytes);
  }
  return pcm;
}

// Runs the input as an output's worker does: BeginRun, Read in a loop, EndRun.
std::string RunToEnd(TAuInput& input, std::uint32_t chunk = 4096) {
  input.BeginRun();
  std::string pcm = ReadToEnd(input, chunk);
  input.EndRun();
  return pcm;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EAuException& e) {
    return e.what();
  }
  return "(no error)";
}

// A stream over bytes in memory, as a caller of SetStream supplies it.
class MemoryStream : public TAuStream {
 public:
  explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}
  std::size_t Read(void* dest, std::size_t count) override {
    const std::size_t n = std::min(count, bytes_.size() - std::min(position_, bytes_.size()));
    std::memcpy(dest, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }
  std::int64_t Seek(std::int64_t offset, int origin) override {
    std::int64_t base = origin == SEEK_CUR   ? static_cast<std::int64_t>(position_)
                        : origin == SEEK_END ? static_cast<std::int64_t>(bytes_.size())
                                             : 0;
    if (base + offset < 0) throw EAuException("Invalid argument");
    position_ = static_cast<std::size_t>(base + offset);
    return base + offset;
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::size_t position() const { return position_; }

 private:
  std::string bytes_;
  std::size_t position_ = 0;
};

// The real reader with faults forced on it.
struct Script {
  int created = 0;             // readers made by the factory
  bool no_reader = false;      // the reader cannot be created
  std::int64_t min_start = 0;  // Open refuses smaller start offsets
  bool is_protected = false;
  std::optional<std::int64_t> duration;
  std::map<std::string, std::string, std::less<>> attributes;
};

class ScriptedReader final : public MediaReader {
 public:
  explicit ScriptedReader(const Script& script) : script_(script) {}
  bool Open(MediaSource& source, std::int64_t start) override {
    if (start < script_.min_start) return false;
    return real_->Open(source, start);
  }
  void Close() override { real_->Close(); }
  std::uint32_t OutputCount() const override { return real_->OutputCount(); }
  bool IsAudioOutput(std::uint32_t output) const override { return real_->IsAudioOutput(output); }
  MediaFormat CurrentFormat(std::uint32_t output) const override {
    return real_->CurrentFormat(output);
  }
  std::vector<MediaFormat> OutputFormats(std::uint32_t output) const override {
    return real_->OutputFormats(output);
  }
  void SetDiscreteOutput(std::uint32_t output, bool discrete) override {
    real_->SetDiscreteOutput(output, discrete);
  }
  void SetSpeakerConfig(std::uint32_t output, std::uint32_t config) override {
    real_->SetSpeakerConfig(output, config);
  }
  bool SetOutputFormat(std::uint32_t output, const MediaFormat& format) override {
    return real_->SetOutputFormat(output, format);
  }
  bool IsProtected() const override { return script_.is_protected; }
  bool NextSample(const std::uint8_t** data, std::size_t* length) override {
    return real_->NextSample(data, length);
  }
  void SetRange(std::int64_t start) override { real_->SetRange(start); }
  std::int64_t Duration() const override { return script_.duration.value_or(real_->Duration()); }
  std::optional<std::string> Attribute(std::string_view name) const override {
    if (const auto it = script_.attributes.find(name); it != script_.attributes.end()) {
      return it->second;
    }
    return real_->Attribute(name);
  }

 private:
  const Script& script_;
  std::unique_ptr<MediaReader> real_ = CreateMediaReader();
};

void UseScript(TWMIn& input, Script& script) {
  input.SetReaderFactory([&script]() -> std::unique_ptr<MediaReader> {
    ++script.created;
    if (script.no_reader) return nullptr;
    return std::make_unique<ScriptedReader>(script);
  });
}

struct Tagged {
  std::string artist, title, album, genre, track, year, comment;
};

Tagged TagsOf(TWMIn& input) {
  TId3v2Tags& tags = input.Id3v2Tags();
  return {tags.Artist(), tags.Title(), tags.Album(),  tags.Genre(),
          tags.Track(),  tags.Year(),  tags.Comment()};
}

void ExpectTags(const Tagged& actual, const Tagged& expected) {
  EXPECT_EQ(actual.artist, expected.artist);
  EXPECT_EQ(actual.title, expected.title);
  EXPECT_EQ(actual.album, expected.album);
  EXPECT_EQ(actual.genre, expected.genre);
  EXPECT_EQ(actual.track, expected.track);
  EXPECT_EQ(actual.year, expected.year);
  EXPECT_EQ(actual.comment, expected.comment);
}

// ---------------------------------------------------------------------------------------
// Decoding

struct FormatCase {
  int rate;
  int channels;
};

class Mp3InFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Mp3InFormatTest, ARunDeliversExactlyWhatTheMpg123ToolDecodes) {
  const FormatCase c = GetParam();
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(c.rate, c.channels, 1.5).Bitrate(96)));
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);

  TMP3In input;
  input.SetFileName(path);
  EXPECT_EQ(input.GetBitsPerSample(), 16u);
  EXPECT_EQ(input.GetChannels(), static_cast<std::uint32_t>(c.channels));
  EXPECT_EQ(input.GetSampleRate(), static_cast<std::uint32_t>(c.rate));
  EXPECT_EQ(input.DurationCs(), 150);
  // The reader's length plus a third of a second.
  const std::int64_t frames = c.rate * 3 / 2 + c.rate / 3;
  EXPECT_EQ(input.GetTotalSamples(), frames);
  EXPECT_EQ(input.Size(), frames * c.channels * 2);
  EXPECT_EQ(input.GetTotalTime(), 2);  // 1.83 s, rounded

  const std::string pcm = RunToEnd(input);
  EXPECT_EQ(input.SampleSize(), c.channels * 2);
  EXPECT_EQ(input.OpenCount(), 0);  // the run closed it
  // The run ends where the decoder's data ends, not at the longer expected size.
  EXPECT_EQ(pcm.size(), expected->size());
  EXPECT_TRUE(pcm == *expected) << "the PCM differs from the mpg123 tool's";
}

INSTANTIATE_TEST_SUITE_P(Rates, Mp3InFormatTest,
                         ::testing::Values(FormatCase{22050, 1}, FormatCase{22050, 2},
                                           FormatCase{44100, 1}, FormatCase{44100, 2},
                                           FormatCase{48000, 1}, FormatCase{48000, 2}));

TEST(Mp3InTest, AStereo44100FileExpectsAThirdOfASecondMore) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 2, 1.0)));
  TMP3In mp3;
  mp3.SetFileName(path);
  TWMIn wm;
  wm.SetFileName(path);
  EXPECT_EQ(mp3.GetTotalSamples() - wm.GetTotalSamples(), 14700);
  EXPECT_EQ(mp3.Size() - wm.Size(), 58800);
  EXPECT_EQ(wm.Size(), 44100 * 4);
}

TEST(Mp3InTest, ReadCoreHandsOutOneDecodedPieceAtMostAndNeverCopies) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 2, 0.5)));
  TMP3In input;
  input.SetFileName(path);
  input.BeginRun();
  // A frame of MPEG-1 layer III is 1152 sample frames: 4608 bytes of 16-bit stereo.
  const std::uint8_t* first = nullptr;
  std::uint32_t bytes = 1 << 20;
  input.Read(first, bytes);
  EXPECT_LE(bytes, 4608u);
  // A small request takes the start of the next piece; the following one continues in
  // the same buffer.
  const std::uint8_t* a = nullptr;
  std::uint32_t a_bytes = 100;
  input.Read(a, a_bytes);
  const std::uint8_t* b = nullptr;
  std::uint32_t b_bytes = 100;
  input.Read(b, b_bytes);
  EXPECT_EQ(a_bytes, 100u);
  EXPECT_EQ(b, a + 100);
  input.EndRun();
}

TEST(Mp3InTest, SeekDuringARunContinuesAtThatSample) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 2, 2.0)));
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);
  TMP3In input;
  input.SetFileName(path);
  input.BeginRun();
  const std::uint8_t* data = nullptr;
  std::uint32_t bytes = 1 << 20;
  input.Read(data, bytes);  // the whole first piece: nothing of it is left
  ASSERT_TRUE(input.Seek(44100));
  EXPECT_EQ(input.Position(), 44100 * 4);
  const std::string rest = ReadToEnd(input, 1 << 20);
  input.EndRun();
  EXPECT_TRUE(rest == expected->substr(44100 * 4)) << "decoded " << rest.size() << " bytes";
}

TEST(Mp3InTest, LoopingStartsTheDataAgain) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(22050, 1, 0.5)));
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);
  TMP3In input;
  input.SetFileName(path);
  input.SetLoop(true);
  input.BeginRun();
  std::string pcm;
  while (pcm.size() < expected->size() * 5 / 2) {
    const std::uint8_t* data = nullptr;
    std::uint32_t bytes = 4096;
    input.Read(data, bytes);
    ASSERT_GT(bytes, 0u);
    pcm.append(reinterpret_cast<const char*>(data), bytes);
  }
  input.EndRun();
  EXPECT_TRUE(pcm.substr(0, expected->size()) == *expected);
  const std::string second = pcm.substr(expected->size(), expected->size());
  std::size_t at = 0;
  while (at < second.size() && second[at] == (*expected)[at]) ++at;
  EXPECT_EQ(at, second.size()) << "the second pass differs from byte " << at << " of "
                               << second.size();
}

// Files without an info frame: mpg123 can only guess their length from the first frames,
// and a guess that falls short would end the run early. A constant-bit-rate file's
// length follows from its size, a VBR file's from a scan of its frames: both report
// their exact length and play to their end.
TEST(Mp3InTest, FilesWithoutAnInfoFrameReportTheirLengthAndPlayToTheirEnd) {
  testing::TempDir dir;
  const std::string noise = dir.File("noise.wav");
  const std::string quiet = dir.File("quiet.wav");
  const std::string all = dir.File("all.wav");
  using testing::ShellQuote;
  // Loud noise first makes the first frames of a VBR file large, so a guess from them is
  // far too short.
  ASSERT_TRUE(testing::RunCommand("sox -q -n -r 44100 -c 2 -b 16 -e signed " + ShellQuote(noise) +
                                  " synth 1 whitenoise vol 0.9 2>&1"));
  ASSERT_TRUE(testing::RunCommand("sox -q -n -r 44100 -c 2 -b 16 -e signed " + ShellQuote(quiet) +
                                  " trim 0 3 2>&1"));
  ASSERT_TRUE(testing::RunCommand("sox -q " + ShellQuote(noise) + " " + ShellQuote(quiet) + " " +
                                  ShellQuote(all) + " 2>&1"));
  const struct {
    const char* what;
    const char* lame;
  } cases[] = {
      {"VBR", "-t -V 2"},
      {"CBR", "-t -b 128"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File(std::string(c.what) + ".mp3");
    ASSERT_TRUE(testing::RunCommand("lame --quiet " + std::string(c.lame) + " " + ShellQuote(all) +
                                    " " + ShellQuote(path) + " 2>&1"));
    const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
    ASSERT_TRUE(expected);
    ASSERT_GT(expected->size(), 44100u * 4 * 4);
    const auto decoded = static_cast<std::int64_t>(expected->size() / 4);

    TMP3In input;
    input.SetFileName(path);
    EXPECT_EQ(input.GetSampleRate(), 44100u);
    const std::int64_t cs = (decoded * 100 + 22050) / 44100;
    EXPECT_EQ(input.DurationCs(), cs) << decoded << " samples decoded";
    // The length plus a third of a second, as for every file.
    EXPECT_EQ(input.Size(), (cs * 441 + 44100 / 3) * 4);
    EXPECT_TRUE(RunToEnd(input) == *expected);
  }
}

// ---------------------------------------------------------------------------------------
// The tag record

std::string Cp(const char* utf8) {
  return Utf8ToCp1251(utf8);
}

TEST(Mp3InTagsTest, FillsTheSevenFieldsAndLeavesTheOthersEmpty) {
  const int v = 3;
  const auto e = Id3Encoding::kUtf16;
  const std::string tag = Id3v2Tag(
      v, {Id3v2TextFrame(v, "TPE1", e, "Кино"), Id3v2TextFrame(v, "TIT2", e, "Кукушка"),
          Id3v2TextFrame(v, "TALB", e, "Чёрный альбом"), Id3v2TextFrame(v, "TCON", e, "(17)"),
          Id3v2TextFrame(v, "TRCK", e, "3 из 9"), Id3v2TextFrame(v, "TYER", e, "1990"),
          Id3v2TextFrame(v, "TCOP", e, "© Мороз"), Id3v2TextFrame(v, "TCOM", e, "Цой"),
          Id3v2TextFrame(v, "TENC", e, "lame"), Id3v2TextFrame(v, "TLAN", e, "rus")});
  testing::TempDir dir;
  const std::string path = dir.File("tagged.mp3");
  testing::WriteFileBytes(path, tag + testing::MakeMp3Bytes(Mp3Recipe(44100, 1, 0.3)));

  TMP3In input;
  input.SetFileName(path);
  ExpectTags(TagsOf(input),
             {"Кино", "Кукушка", "Чёрный альбом", "Rock", Cp("3 из 9"), "1990", "© Мороз"});
  TId3v2Tags& tags = input.Id3v2Tags();
  EXPECT_EQ(Cp1251ToUtf8(tags.Track()), "3 из 9");
  EXPECT_EQ(tags.Composer(), "");
  EXPECT_EQ(tags.Encoder(), "");
  EXPECT_EQ(tags.Copyright(), "");  // the copyright text went to Comment
  EXPECT_EQ(tags.Language(), "");
  EXPECT_EQ(tags.Link(), "");
  for (const char* key : {"TP1", "TT2", "TAL", "TCO", "TRK", "TYE", "COM"}) {
    EXPECT_EQ(tags.GetText(key), "") << key;
  }
}

TEST(Mp3InTagsTest, TrackAndYearAreEightBitTextWithQuestionMarksForTheRest) {
  Script script;
  script.attributes = {{"WM/Track", "7★"}, {"WM/Year", "１９９９"}, {"Author", "Band\0tail"s}};
  TMP3In input;
  UseScript(input, script);
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 1, 0.2)));
  input.SetFileName(path);
  EXPECT_EQ(input.Id3v2Tags().Track(), "7?");
  EXPECT_EQ(input.Id3v2Tags().Year(), "????");
  // The platform hands out a text attribute up to its first zero character.
  EXPECT_EQ(input.Id3v2Tags().Artist(), "Band");
}

TEST(Mp3InTagsTest, ReadingTheRecordOpensOnceAndAgainAfterARun) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 1, 0.3).Lame({"--ta", "Band", "--tn", "4"})));
  Script script;
  TMP3In input;
  UseScript(input, script);
  input.SetFileName(path);
  EXPECT_EQ(input.OpenCount(), 0);  // naming a file opens nothing
  EXPECT_EQ(script.created, 0);
  EXPECT_EQ(input.Id3v2Tags().Artist(), "Band");
  EXPECT_EQ(input.Id3v2Tags().Track(), "4");
  EXPECT_EQ(script.created, 1);
  EXPECT_EQ(input.OpenCount(), 1);

  RunToEnd(input);  // finds it open; closes it at the end
  EXPECT_EQ(script.created, 1);
  EXPECT_EQ(input.OpenCount(), 0);
  EXPECT_EQ(input.Id3v2Tags().Artist(), "Band");  // still held; read again at the reopen
  EXPECT_EQ(script.created, 2);
}

TEST(Mp3InTagsTest, ASecondFileOverwritesEveryFilledFieldAlsoWithEmptyText) {
  testing::TempDir dir;
  const std::string first = dir.File("first.mp3");
  const std::string second = dir.File("second.mp3");
  ASSERT_TRUE(testing::MakeMp3(first, Mp3Recipe(44100, 1, 0.2)
                                          .Lame({"--ta", "A", "--tt", "T", "--tl", "L", "--tg",
                                                 "Pop", "--tn", "1", "--ty", "2000"})));
  ASSERT_TRUE(testing::MakeMp3(second, Mp3Recipe(44100, 1, 0.2).Lame({"--tt", "Only title"})));
  TMP3In input;
  input.SetFileName(first);
  ExpectTags(TagsOf(input), {"A", "T", "L", "Pop", "1", "2000", ""});
  input.SetFileName(second);
  ExpectTags(TagsOf(input), {"", "Only title", "", "", "", "", ""});
}

// ---------------------------------------------------------------------------------------
// Errors and bad files

TEST(Mp3InErrorsTest, NamesTheFailureOfAFileThatCannotBeOpened) {
  testing::TempDir dir;
  TMP3In input;
  EXPECT_EQ(ErrorOf([&] { input.Id3v2Tags(); }), "File name is not assigned");
  EXPECT_EQ(ErrorOf([&] { input.BeginRun(); }), "The file name is not assigned");

  input.SetFileName(dir.File("missing.mp3"));  // raises nothing
  EXPECT_EQ(ErrorOf([&] { input.Id3v2Tags(); }), "No such file or directory");
  EXPECT_EQ(ErrorOf([&] { input.GetSampleRate(); }), "No such file or directory");
  EXPECT_EQ(ErrorOf([&] { input.BeginRun(); }), "No such file or directory");
  EXPECT_EQ(input.OpenCount(), 0);
  EXPECT_FALSE(input.Busy());

  input.SetFileName(dir.path().string());
  EXPECT_EQ(ErrorOf([&] { input.Id3v2Tags(); }), "Is a directory");
}

// Files the reader does not take open without an error and leave nothing of an earlier
// file behind; a run over them fails at its start.
TEST(Mp3InErrorsTest, DataThatIsNotAudioLeavesAnEmptyRecordAndAClosedInput) {
  testing::TempDir dir;
  const std::string tagged = dir.File("tagged.mp3");
  ASSERT_TRUE(testing::MakeMp3(
      tagged, Mp3Recipe(44100, 2, 0.3).Lame({"--ta", "Band", "--tt", "Song", "--tg", "Rock"})));
  std::mt19937 random(11);
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(random() % 0xE0);  // no frame sync bytes
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"random bytes", noise},
      {"empty file", ""},
      {"tag only", Id3v2Tag(3, {Id3v2TextFrame(3, "TPE1", Id3Encoding::kLatin1, "Ghost")})},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    const std::string path = dir.File("bad.mp3");
    testing::WriteFileBytes(path, bytes);
    TMP3In input;
    input.SetFileName(tagged);
    ASSERT_EQ(input.Id3v2Tags().Artist(), "Band");
    input.SetFileName(path);
    EXPECT_EQ(ErrorOf([&] { ExpectTags(TagsOf(input), {}); }), "(no error)");
    EXPECT_EQ(input.OpenCount(), 0);
    EXPECT_EQ(input.GetSampleRate(), 0u);
    EXPECT_EQ(input.GetChannels(), 0u);
    EXPECT_EQ(input.Size(), 0);
    EXPECT_EQ(input.DurationCs(), 0);
    EXPECT_EQ(ErrorOf([&] { input.BeginRun(); }), "The file format is unknown");
    EXPECT_FALSE(input.Busy());
    EXPECT_EQ(input.OpenCount(), 0);
  }
}

TEST(Mp3InErrorsTest, AFileCutInTheMiddleOfAFramePlaysUpToTheCut) {
  testing::TempDir dir;
  const std::string path = dir.File("cut.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(48000, 2, 2.0).Lame({"--ta", "Band"})));
  std::string bytes = testing::ReadFileBytes(path);
  bytes.resize(bytes.size() * 2 / 3 + 77);
  testing::WriteFileBytes(path, bytes);
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);
  TMP3In input;
  input.SetFileName(path);
  EXPECT_EQ(input.Id3v2Tags().Artist(), "Band");
  EXPECT_EQ(input.DurationCs(), 200);  // as the info frame claims
  const std::string pcm = RunToEnd(input);
  EXPECT_LT(pcm.size(), 48000u * 4 * 3 / 2);
  EXPECT_TRUE(pcm == *expected) << "decoded " << pcm.size() << ", mpg123 " << expected->size();
}

TEST(Mp3InErrorsTest, ReaderOutcomesForcedByAScript) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 2, 0.5).Lame({"--ta", "Band"})));
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);
  {
    SCOPED_TRACE("protected content");
    Script script;
    script.is_protected = true;
    TMP3In input;
    UseScript(input, script);
    input.SetFileName(path);
    EXPECT_EQ(ErrorOf([&] { input.Id3v2Tags(); }), "File is protected");
    EXPECT_EQ(input.OpenCount(), 0);
    EXPECT_EQ(ErrorOf([&] { input.BeginRun(); }), "File is protected");
  }
  {
    SCOPED_TRACE("no reader");
    Script script;
    script.no_reader = true;
    TMP3In input;
    UseScript(input, script);
    input.SetFileName(path);
    EXPECT_EQ(ErrorOf([&] { input.Id3v2Tags(); }), "(no error)");
    EXPECT_EQ(input.OpenCount(), 0);
    EXPECT_EQ(input.Id3v2Tags().Artist(), "");
  }
  {
    SCOPED_TRACE("taken from byte 30 only");
    Script script;
    script.min_start = 30;
    TMP3In input;
    UseScript(input, script);
    testing::TempDir junk_dir;
    const std::string junk = junk_dir.File("junk.mp3");
    testing::WriteFileBytes(junk, std::string(30, 'J') + testing::ReadFileBytes(path));
    input.SetFileName(junk);
    EXPECT_EQ(input.GetSampleRate(), 44100u);
    EXPECT_TRUE(RunToEnd(input) == *expected);
  }
  {
    SCOPED_TRACE("durations round to hundredths, halves to even");
    Script script;
    TMP3In input;
    UseScript(input, script);
    input.SetFileName(path);
    for (const auto& [ticks, cs] :
         std::vector<std::pair<std::int64_t, std::int32_t>>{{1'234'550'000, 12346},
                                                            {1'234'450'000, 12344},
                                                            {49'999, 0},
                                                            {50'000, 0},
                                                            {150'000, 2}}) {
      script.duration = ticks;
      input.CloseFile();
      input.OpenFile();
      EXPECT_EQ(input.DurationCs(), cs) << ticks;
      // A third of a second more, when the length is known at all.
      EXPECT_EQ(input.GetTotalSamples(), cs == 0 ? -1 : std::int64_t{cs} * 44100 / 100 + 14700)
          << ticks;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Format choice

TEST(Mp3InFormatChoiceTest, ChannelRequestsChooseTheFormat) {
  testing::TempDir dir;
  const std::string mono = dir.File("mono.mp3");
  ASSERT_TRUE(testing::MakeMp3(mono, Mp3Recipe(22050, 1, 0.3)));
  TMP3In input;
  input.SetFileName(mono);
  EXPECT_EQ(input.GetChannels(), 1u);
  EXPECT_EQ(input.GetBitsPerSample(), 16u);
  EXPECT_FALSE(input.HighPrecision());

  // The most channels, rate and bits, at full precision.
  input.SetOutputChannels(TChannelsNumber::cnMaxAvailable);
  EXPECT_TRUE(input.HighPrecision());
  EXPECT_EQ(input.OpenCount(), 1);  // the open file was opened again at once
  EXPECT_EQ(input.GetChannels(), 2u);
  EXPECT_EQ(input.GetSampleRate(), 22050u);
  EXPECT_EQ(input.GetBitsPerSample(), 32u);
  const std::string wide = RunToEnd(input);
  EXPECT_EQ(wide.size(), 6615u * 2 * 4);
  // High precision cannot be changed while another request is in force.
  input.SetHighPrecision(false);
  EXPECT_TRUE(input.HighPrecision());

  // An MP3 has no six- or eight-channel format.
  input.SetOutputChannels(TChannelsNumber::cn5dot1);
  EXPECT_EQ(ErrorOf([&] { input.GetChannels(); }), wm_messages::kNoAudioFormat);
  input.SetOutputChannels(TChannelsNumber::cn7dot1);
  EXPECT_EQ(ErrorOf([&] { input.Id3v2Tags(); }), wm_messages::kNoAudioFormat);

  // Back to the file's own format; high precision offers more bits for it, and an open
  // file is opened again at once.
  input.SetOutputChannels(TChannelsNumber::cnMonoOrStereo);
  EXPECT_EQ(input.GetBitsPerSample(), 32u);
  EXPECT_EQ(input.GetChannels(), 1u);
  input.SetHighPrecision(false);
  EXPECT_EQ(input.OpenCount(), 1);
  EXPECT_EQ(input.GetBitsPerSample(), 16u);
}

TEST(Mp3InFormatChoiceTest, SettingsAreIgnoredDuringARun) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 2, 0.3)));
  TMP3In input;
  input.SetFileName(path);
  input.BeginRun();
  input.SetHighPrecision(true);
  input.SetOutputChannels(TChannelsNumber::cnMaxAvailable);
  EXPECT_FALSE(input.HighPrecision());
  EXPECT_EQ(input.OutputChannels(), TChannelsNumber::cnMonoOrStereo);
  input.EndRun();
}

// ---------------------------------------------------------------------------------------
// A supplied stream

TEST(Mp3InStreamTest, ReadsASuppliedStreamAndRewindsItWhenClosed) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(48000, 1, 0.4).Lame({"--tt", "Streamed"})));
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);
  MemoryStream stream(testing::ReadFileBytes(path));
  TMP3In input;
  input.SetStream(&stream);  // no file name needed
  EXPECT_EQ(input.Id3v2Tags().Title(), "Streamed");
  EXPECT_TRUE(RunToEnd(input) == *expected);
  EXPECT_EQ(stream.position(), 0u);
  EXPECT_TRUE(RunToEnd(input) == *expected);  // and again
  input.SetStream(nullptr);
}

}  // namespace
}  // namespace kalvira
