// The scan's genre reader gives what the MP3 input's tag record gives, file by file: the
// same genre text for every kind of tag, and "unreadable" exactly for the files the input
// would refuse to play.
#include "scan/genre_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "audio/mp3_in.h"
#include "base/cp1251.h"
#include "tests/audio/mp3_fixtures.h"
#include "tests/scan/scan_fixture.h"

namespace kalvira {
namespace {

using testing::Id3Encoding;
using testing::Id3v2TextFrame;

// What TMP3In makes of the file: its Genre, or nothing when it cannot open it for playing.
std::optional<std::string> InputGenre(const std::string& path) {
  TMP3In input;
  input.SetFileName(path);
  try {
    TId3v2Tags& tags = input.Id3v2Tags();
    if (input.OpenCount() == 0) return std::nullopt;  // the reader refused the data
    return tags.Genre();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

TEST(GenreReaderTest, GivesWhatTheInputsTagRecordGives) {
  testing::MusicCollection c;
  std::mt19937 random(11);
  std::string noise(300000, '\0');
  for (char& byte : noise) byte = static_cast<char>(random() & 0xFF);
  std::string cut = testing::ReadFileBytes(c.Untagged("whole.mp3"));
  cut.resize(cut.size() / 2 + 7);
  struct Case {
    const char* name;
    std::string path;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"ID3v1 numeric (id3v2 tool)", c.TaggedBy("v1.mp3", "id3v2 -1 -g 13"), "Pop"},
      {"ID3v2.3 (id3v2 tool)", c.TaggedBy("v23.mp3", "id3v2 -2 --TCON Rock"), "Rock"},
      {"ID3v2.4 (eyeD3)", c.TaggedBy("v24.mp3", "eyeD3 --quiet --to-v2.4 -G Techno"), "Techno"},
      {"lame's tag", c.EncodedWith("lame.mp3", {"--tg", "Classical", "--id3v2-only"}), "Classical"},
      {"numeric reference",
       c.WithId3v2("ref.mp3", 3, {Id3v2TextFrame(3, "TCON", Id3Encoding::kLatin1, "(17)")}),
       "Rock"},
      {"Windows-1251 in ISO-8859-1",
       c.WithId3v2("cp.mp3", 3,
                   {Id3v2TextFrame(3, "TCON", Id3Encoding::kLatin1, Utf8ToCp1251("Поп"))}),
       "Поп"},
      {"UTF-16 with a zero inside",
       c.WithId3v2("nul.mp3", 3,
                   {Id3v2TextFrame(3, "TCON", Id3Encoding::kUtf16, std::string("Jazz\0X", 6))}),
       std::nullopt},  // whatever the input makes of it; compared below
      {"no tag", c.Untagged("plain.mp3"), ""},
      {"cut in half", c.Bytes("cut.mp3", cut), ""},
      {"noise", c.Bytes("noise.mp3", noise), std::nullopt},
      {"zeros", c.Bytes("zeros.mp3", std::string(300000, '\0')), std::nullopt},
      {"empty", c.Bytes("empty.mp3", ""), std::nullopt},
      {"missing", c.Path("missing.mp3"), std::nullopt},
  };
  TGenreReader reader;  // one reader for every file, as the scan uses it
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const std::optional<std::string> genre = reader.Read(k.path);
    EXPECT_EQ(genre, InputGenre(k.path));
    if (std::string_view(k.name).starts_with("UTF-16")) continue;
    EXPECT_EQ(genre, k.expected);
  }
}

}  // namespace
}  // namespace kalvira
