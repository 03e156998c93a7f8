// The MP3 media reader over real files made by lame: formats, decoded PCM against the
// mpg123 tool, positioning, and the attributes read from ID3 tags in every encoding.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "audio/media_reader.h"
#include "base/cp1251.h"
#include "tests/audio/mp3_fixtures.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using testing::Id3Encoding;
using testing::Id3v1Fields;
using testing::Id3v1Tag;
using testing::Id3v2Tag;
using testing::Id3v2TextFrame;
using testing::Mp3Recipe;

// Everything the reader decodes from the current position on, in the chosen format.
std::string DecodeAll(MediaReader& reader) {
  std::string pcm;
  const std::uint8_t* data = nullptr;
  std::size_t length = 0;
  while (reader.NextSample(&data, &length)) {
    pcm.append(reinterpret_cast<const char*>(data), length);
  }
  return pcm;
}

bool OpenNative16(MediaReader& reader, MediaSource& source) {
  if (!reader.Open(source, 0)) return false;
  MediaFormat format = reader.CurrentFormat(0);
  format.bits_per_sample = 16;
  return reader.SetOutputFormat(0, format);
}

// ---------------------------------------------------------------------------------------

struct FormatCase {
  int rate;
  int channels;
};

class ReaderFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ReaderFormatTest, DecodesExactlyWhatTheMpg123ToolDecodes) {
  const FormatCase c = GetParam();
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(c.rate, c.channels, 1.5).Bitrate(64)));
  const std::string bytes = testing::ReadFileBytes(path);
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);

  MemorySource source(bytes.data(), bytes.size());
  auto reader = CreateMediaReader();
  ASSERT_TRUE(reader->Open(source, 0));
  ASSERT_EQ(reader->OutputCount(), 1u);
  EXPECT_TRUE(reader->IsAudioOutput(0));
  const MediaFormat native = reader->CurrentFormat(0);
  EXPECT_EQ(native, (MediaFormat{static_cast<std::uint32_t>(c.channels),
                                 static_cast<std::uint32_t>(c.rate), 16}));
  // lame's info frame records the exact sample count: 1.5 s, in 100-ns units.
  EXPECT_EQ(reader->Duration(), 15'000'000);
  EXPECT_FALSE(reader->IsProtected());
  ASSERT_TRUE(reader->SetOutputFormat(0, native));
  const std::string pcm = DecodeAll(*reader);
  EXPECT_EQ(pcm.size(), static_cast<std::size_t>(c.rate * 3 / 2 * c.channels * 2));
  EXPECT_TRUE(pcm == *expected) << "decoded " << pcm.size() << " bytes, mpg123 "
                                << expected->size();
  // The end stays the end.
  const std::uint8_t* data = nullptr;
  std::size_t length = 1;
  EXPECT_FALSE(reader->NextSample(&data, &length));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(data, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rates, ReaderFormatTest,
                         ::testing::Values(FormatCase{22050, 1}, FormatCase{22050, 2},
                                           FormatCase{44100, 1}, FormatCase{44100, 2},
                                           FormatCase{48000, 1}, FormatCase{48000, 2}));

TEST(ReaderTest, OffersMonoAndStereoAndFullPrecisionOnlyWhenAsked) {
  const std::string bytes = testing::MakeMp3Bytes(Mp3Recipe(44100, 2, 1.0));
  MemorySource source(bytes.data(), bytes.size());
  auto reader = CreateMediaReader();
  ASSERT_TRUE(reader->Open(source, 0));
  const std::vector<MediaFormat> plain = reader->OutputFormats(0);
  EXPECT_EQ(plain, (std::vector<MediaFormat>{
                       {1, 44100, 8}, {1, 44100, 16}, {2, 44100, 8}, {2, 44100, 16}}));
  reader->SetDiscreteOutput(0, true);
  const std::vector<MediaFormat> discrete = reader->OutputFormats(0);
  EXPECT_EQ(discrete.back(), (MediaFormat{2, 44100, 32}));
  EXPECT_FALSE(reader->SetOutputFormat(0, {2, 48000, 16}));  // not offered
  EXPECT_FALSE(reader->SetOutputFormat(0, {6, 44100, 16}));
}

TEST(ReaderTest, DeliversEveryOfferedFormatWithItsFrameSize) {
  const std::string bytes = testing::MakeMp3Bytes(Mp3Recipe(22050, 2, 0.5));
  MemorySource source(bytes.data(), bytes.size());
  auto reader = CreateMediaReader();
  ASSERT_TRUE(reader->Open(source, 0));
  reader->SetDiscreteOutput(0, true);
  for (const MediaFormat& format : reader->OutputFormats(0)) {
    SCOPED_TRACE(std::to_string(format.channels) + " ch " + std::to_string(format.bits_per_sample) +
                 " bits");
    ASSERT_TRUE(reader->SetOutputFormat(0, format));
    EXPECT_EQ(reader->CurrentFormat(0), format);
    const std::string pcm = DecodeAll(*reader);
    EXPECT_EQ(pcm.size(), 11025u * format.channels * format.bits_per_sample / 8);
  }
}

TEST(ReaderTest, SetRangeContinuesAtTheTimeAndKeepsTheLastPieceIntact) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 2, 2)));
  const std::string bytes = testing::ReadFileBytes(path);
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);
  MemorySource source(bytes.data(), bytes.size());
  auto reader = CreateMediaReader();
  ASSERT_TRUE(OpenNative16(*reader, source));

  const std::uint8_t* data = nullptr;
  std::size_t length = 0;
  ASSERT_TRUE(reader->NextSample(&data, &length));
  const std::string first(reinterpret_cast<const char*>(data), length);
  reader->SetRange(kMediaTicksPerSecond);  // 1 s
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), length), first);
  const std::string rest = DecodeAll(*reader);
  EXPECT_EQ(rest.size(), 44100u * 4);
  EXPECT_TRUE(rest == expected->substr(44100 * 4)) << "seek is not sample-exact";

  // Positioning after the end starts the data again.
  reader->SetRange(0);
  EXPECT_TRUE(DecodeAll(*reader) == *expected);
}

TEST(ReaderTest, AcceptsDataFromTheGivenStartOffset) {
  const std::string mp3 = testing::MakeMp3Bytes(Mp3Recipe(44100, 1, 1.0));
  const std::string bytes = std::string(30, '\x55') + mp3;
  MemorySource source(bytes.data(), bytes.size());
  auto reader = CreateMediaReader();
  ASSERT_TRUE(reader->Open(source, 30));
  EXPECT_EQ(reader->CurrentFormat(0), (MediaFormat{1, 44100, 16}));
  EXPECT_EQ(reader->Duration(), kMediaTicksPerSecond);
}

// Files without an info frame record no length. A constant-bit-rate file's length follows
// from its size; a VBR file's is found by scanning its frames. Either way it is exactly
// what decoding gives, so a run neither ends early nor reports a wrong length.
TEST(ReaderTest, FilesWithoutAnInfoFrameHaveTheirExactLength) {
  const std::vector<std::string> no_info = {"-t"};
  const std::vector<std::string> tagged = {"-t", "--add-id3v2", "--ta", "Band", "--tt", "Song"};
  const struct {
    const char* what;
    Mp3Recipe recipe;
  } cases[] = {
      {"CBR 44.1 kHz stereo", Mp3Recipe(44100, 2, 2.5).Lame(no_info)},
      {"CBR 22.05 kHz mono (MPEG-2)", Mp3Recipe(22050, 1, 1.7).Bitrate(64).Lame(no_info)},
      {"CBR 48 kHz at 320 kbit/s", Mp3Recipe(48000, 2, 1.0).Bitrate(320).Lame(no_info)},
      {"CBR 8 kHz (MPEG-2.5)", Mp3Recipe(8000, 1, 3.0).Bitrate(16).Lame(no_info)},
      {"CBR with ID3v2 and ID3v1 tags", Mp3Recipe(44100, 2, 2.0).Lame(tagged)},
      {"VBR", Mp3Recipe(44100, 2, 2.0).Lame({"-t", "-V", "2"})},
      {"ABR", Mp3Recipe(44100, 2, 2.0).Lame({"-t", "--abr", "96"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir dir;
    const std::string path = dir.File("tone.mp3");
    ASSERT_TRUE(testing::MakeMp3(path, c.recipe));
    const std::string bytes = testing::ReadFileBytes(path);
    const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
    ASSERT_TRUE(expected);
    const auto rate = static_cast<std::int64_t>(c.recipe.sample_rate);
    const auto samples = static_cast<std::int64_t>(expected->size()) / (c.recipe.channels * 2);
    MemorySource source(bytes.data(), bytes.size());
    auto reader = CreateMediaReader();
    ASSERT_TRUE(OpenNative16(*reader, source));
    EXPECT_EQ(reader->Duration(), (samples * kMediaTicksPerSecond + rate / 2) / rate)
        << samples << " samples decoded";
    EXPECT_TRUE(DecodeAll(*reader) == *expected);
  }
}

// A source that cannot tell its size cannot be scanned: the length stays unknown.
TEST(ReaderTest, ASourceOfUnknownSizeHasAnUnknownLength) {
  class UnsizedSource final : public MediaSource {
   public:
    explicit UnsizedSource(const std::string& bytes) : bytes_(bytes.data(), bytes.size()) {}
    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) override {
      return bytes_.ReadAt(offset, buffer, count);
    }
    std::int64_t Size() override { return -1; }

   private:
    MemorySource bytes_;
  };
  const std::string bytes = testing::MakeMp3Bytes(Mp3Recipe(44100, 2, 1.0).Lame({"-t"}));
  UnsizedSource source(bytes);
  auto reader = CreateMediaReader();
  ASSERT_TRUE(OpenNative16(*reader, source));
  EXPECT_EQ(reader->Duration(), 0);
  EXPECT_GT(DecodeAll(*reader).size(), 44100u * 4);
}

// ---------------------------------------------------------------------------------------
// Bad input: the reader refuses it or decodes what there is; nothing crashes or spins.

TEST(ReaderTest, RefusesWhatIsNotMpegAudio) {
  std::mt19937 random(5);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"text", std::string(5000, 'a')},
      {"tag without audio", Id3v2Tag(3, {Id3v2TextFrame(3, "TIT2", Id3Encoding::kLatin1, "x")})},
      {"zeros", std::string(100000, '\0')},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    MemorySource source(bytes.data(), bytes.size());
    auto reader = CreateMediaReader();
    EXPECT_FALSE(reader->Open(source, 0));
  }
  // Noise may hold something that looks like a frame header; whatever the reader makes
  // of it must end.
  MemorySource source(noise.data(), noise.size());
  auto reader = CreateMediaReader();
  if (OpenNative16(*reader, source)) DecodeAll(*reader);
}

TEST(ReaderTest, DecodesAFileCutInTheMiddleOfAFrameUpToTheCut) {
  testing::TempDir dir;
  const std::string path = dir.File("tone.mp3");
  ASSERT_TRUE(testing::MakeMp3(path, Mp3Recipe(44100, 2, 2)));
  std::string bytes = testing::ReadFileBytes(path);
  bytes.resize(bytes.size() / 2 + 200);  // 128 kbit/s frames are 417 or 418 bytes
  testing::WriteFileBytes(path, bytes);
  const std::optional<std::string> expected = testing::DecodeWithMpg123Tool(path);
  ASSERT_TRUE(expected);

  MemorySource source(bytes.data(), bytes.size());
  auto reader = CreateMediaReader();
  ASSERT_TRUE(OpenNative16(*reader, source));
  const std::string pcm = DecodeAll(*reader);
  EXPECT_GT(pcm.size(), 44100u * 4 * 9 / 10);
  EXPECT_LT(pcm.size(), 44100u * 4 * 11 / 10);
  EXPECT_TRUE(pcm == *expected) << "decoded " << pcm.size() << " bytes, mpg123 "
                                << expected->size();
}

// ---------------------------------------------------------------------------------------
// Attributes.

struct Expected {
  std::optional<std::string> author, title, album, genre, track, year, copyright;
};

struct TagCase {
  const char* name;
  std::string prefix;             // bytes before the audio (ID3v2)
  std::string suffix;             // bytes after the audio (ID3v1)
  std::vector<std::string> lame;  // tag options given to lame instead
  Expected expected;
};

std::string Cp(const char* utf8) {
  return Utf8ToCp1251(utf8);
}

std::vector<TagCase> TagCases() {
  std::vector<TagCase> cases;
  cases.push_back({"no tags", "", "", {}, {}});
  cases.push_back({"lame ID3v1 only",
                   "",
                   "",
                   {"--id3v1-only", "--ta", "Band", "--tt", "Song", "--tl", "Album", "--ty", "1999",
                    "--tn", "7", "--tg", "Rock"},
                   {"Band", "Song", "Album", "Rock", "7", "1999", std::nullopt}});
  cases.push_back({"lame ID3v2 only",
                   "",
                   "",
                   {"--id3v2-only", "--ta", "Band", "--tt", "Song", "--tl", "Album", "--ty", "1999",
                    "--tn", "7/12", "--tg", "Pop"},
                   {"Band", "Song", "Album", "Pop", "7/12", "1999", std::nullopt}});
  {
    const int v = 3;
    const auto e = Id3Encoding::kUtf16;
    cases.push_back(
        {"ID3v2.3 UTF-16 Cyrillic",
         Id3v2Tag(
             v,
             {Id3v2TextFrame(v, "TPE1", e, "Кино"), Id3v2TextFrame(v, "TIT2", e, "Группа крови"),
              Id3v2TextFrame(v, "TALB", e, "Группа крови"), Id3v2TextFrame(v, "TCON", e, "(17)"),
              Id3v2TextFrame(v, "TRCK", e, "3/12"), Id3v2TextFrame(v, "TYER", e, "1988"),
              Id3v2TextFrame(v, "TCOP", e, "© 1988 Мелодия"), Id3v2TextFrame(v, "TCOM", e, "Цой")},
             64),
         "",
         {},
         {"Кино", "Группа крови", "Группа крови", "Rock", "3/12", "1988", "© 1988 Мелодия"}});
  }
  {
    const int v = 4;
    const auto e = Id3Encoding::kUtf8;
    cases.push_back(
        {"ID3v2.4 UTF-8",
         Id3v2Tag(v, {Id3v2TextFrame(v, "TPE1", e, "Ляпис Трубецкой"),
                      Id3v2TextFrame(v, "TIT2", e, "Song ✓"), Id3v2TextFrame(v, "TCON", e, "13"),
                      Id3v2TextFrame(v, "TDRC", e, "2001-05-03T10:00"),
                      Id3v2TextFrame(v, "TRCK", e, "05")}),
         "",
         {},
         {"Ляпис Трубецкой", "Song ✓", std::nullopt, "Pop", "05", "2001", std::nullopt}});
  }
  {
    const int v = 3;
    const auto e = Id3Encoding::kLatin1;
    cases.push_back({"ID3v2.3 ISO-8859-1 frames holding Windows-1251 bytes",
                     Id3v2Tag(v, {Id3v2TextFrame(v, "TPE1", e, Cp("Аквариум")),
                                  Id3v2TextFrame(v, "TIT2", e, Cp("Город золотой")),
                                  Id3v2TextFrame(v, "TALB", e, Cp("Десять стрел")),
                                  Id3v2TextFrame(v, "TCON", e, "(13)Pop"),
                                  Id3v2TextFrame(v, "TCOP", e, Cp("© Борис"))}),
                     "",
                     {},
                     {"Аквариум", "Город золотой", "Десять стрел", "Pop", std::nullopt,
                      std::nullopt, "© Борис"}});
  }
  cases.push_back({"ID3v2.2 three-letter frames",
                   Id3v2Tag(2, {Id3v2TextFrame(2, "TP1", Id3Encoding::kLatin1, "Band"),
                                Id3v2TextFrame(2, "TT2", Id3Encoding::kLatin1, "Song"),
                                Id3v2TextFrame(2, "TCO", Id3Encoding::kLatin1, "(8)"),
                                Id3v2TextFrame(2, "TRK", Id3Encoding::kLatin1, "2")}),
                   "",
                   {},
                   {"Band", "Song", std::nullopt, "Jazz", "2", std::nullopt, std::nullopt}});
  cases.push_back(
      {"ID3v1 with Windows-1251 bytes",
       "",
       Id3v1Tag({Cp("Звезда по имени Солнце"), Cp("Кино"), Cp("Звезда"), "1989", "c", 1, 17}),
       {},
       {"Кино", "Звезда по имени Солнце", "Звезда", "Rock", "1", "1989", std::nullopt}});
  {
    const int v = 3;
    const auto e = Id3Encoding::kUtf16;
    cases.push_back(
        {"ID3v2 wins over ID3v1, which fills the fields ID3v2 lacks",
         Id3v2Tag(v, {Id3v2TextFrame(v, "TPE1", e, "New Band"),
                      Id3v2TextFrame(v, "TCON", e, "Trance"), Id3v2TextFrame(v, "TIT2", e, "")}),
         Id3v1Tag({"Old Song", "Old Band", "", "1990", "", 0, 0}),
         {},
         {"New Band", "Old Song", std::nullopt, "Trance", std::nullopt, "1990", std::nullopt}});
  }
  return cases;
}

TEST(ReaderAttributesTest, ReadsTheTagFieldsInEveryEncoding) {
  for (const TagCase& c : TagCases()) {
    SCOPED_TRACE(c.name);
    const std::string mp3 =
        testing::MakeMp3Bytes(Mp3Recipe(44100, 1, 0.3).Bitrate(64).Lame(c.lame));
    ASSERT_FALSE(mp3.empty());
    const std::string bytes = c.prefix + mp3 + c.suffix;
    MemorySource source(bytes.data(), bytes.size());
    auto reader = CreateMediaReader();
    ASSERT_TRUE(reader->Open(source, 0));
    EXPECT_EQ(reader->Attribute(media_attribute::kAuthor), c.expected.author);
    EXPECT_EQ(reader->Attribute(media_attribute::kTitle), c.expected.title);
    EXPECT_EQ(reader->Attribute(media_attribute::kAlbumTitle), c.expected.album);
    EXPECT_EQ(reader->Attribute(media_attribute::kGenre), c.expected.genre);
    EXPECT_EQ(reader->Attribute(media_attribute::kTrack), c.expected.track);
    EXPECT_EQ(reader->Attribute(media_attribute::kYear), c.expected.year);
    EXPECT_EQ(reader->Attribute(media_attribute::kCopyright), c.expected.copyright);
    EXPECT_EQ(reader->Attribute("WM/Composer"), std::nullopt);
    // Tags do not disturb the audio.
    ASSERT_TRUE(OpenNative16(*reader, source));
    EXPECT_EQ(DecodeAll(*reader).size(), 13230u * 2);
  }
}

TEST(ReaderAttributesTest, ResolvesNumericGenreReferences) {
  const std::string mp3 = testing::MakeMp3Bytes(Mp3Recipe(44100, 1, 0.2));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"(13)", "Pop"},  {"13", "Pop"},    {"(13)Pop", "Pop"},   {"(17)", "Rock"},
      {"0", "Blues"},   {"(0)", "Blues"}, {"(13)Euro", "Euro"}, {"(17)(13)", "Rock Pop"},
      {"Rock", "Rock"}, {"255", ""},      {"(RX)", "Remix"},    {" 13 ", "Pop"},
      {"Поп", "Поп"},
  };
  for (int version : {3, 4}) {
    for (const auto& [stored, name] : cases) {
      SCOPED_TRACE("ID3v2." + std::to_string(version) + " \"" + stored + "\"");
      const std::string bytes =
          Id3v2Tag(version, {Id3v2TextFrame(version, "TCON", Id3Encoding::kUtf8, stored)}) + mp3;
      MemorySource source(bytes.data(), bytes.size());
      auto reader = CreateMediaReader();
      ASSERT_TRUE(reader->Open(source, 0));
      EXPECT_EQ(reader->Attribute(media_attribute::kGenre).value_or(""), name);
    }
  }
}

TEST(ReaderAttributesTest, ReopeningForgetsTheTagsOfTheEarlierFile) {
  const std::string tagged =
      testing::MakeMp3Bytes(Mp3Recipe(44100, 1, 0.2).Lame({"--ta", "Band", "--tg", "Rock"}));
  const std::string plain = testing::MakeMp3Bytes(Mp3Recipe(44100, 1, 0.2));
  auto reader = CreateMediaReader();
  MemorySource first(tagged.data(), tagged.size());
  ASSERT_TRUE(reader->Open(first, 0));
  EXPECT_EQ(reader->Attribute(media_attribute::kAuthor), "Band");
  MemorySource second(plain.data(), plain.size());
  ASSERT_TRUE(reader->Open(second, 0));
  EXPECT_EQ(reader->Attribute(media_attribute::kAuthor), std::nullopt);
  EXPECT_EQ(reader->Attribute(media_attribute::kGenre), std::nullopt);
}

}  // namespace
}  // namespace kalvira
