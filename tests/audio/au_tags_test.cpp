// The tag record: its 24 keys, case-blind keyed values and what its properties touch.
#include "audio/au_tags.h"

#include <gtest/gtest.h>

namespace kalvira {
namespace {

TEST(TagsTest, RegistersTheThreeAndFourLetterKeysSortedAndAllEmpty) {
  TId3v2Tags tags;
  const std::vector<std::string> keys = tags.Keys();
  EXPECT_EQ(keys, (std::vector<std::string>{"COM",  "COMM", "TAL",  "TALB", "TCM",  "TCO",
                                            "TCOM", "TCON", "TCOP", "TCR",  "TEN",  "TENC",
                                            "TIT2", "TLA",  "TLAN", "TP1",  "TPE1", "TRCK",
                                            "TRK",  "TT2",  "TYE",  "TYER", "WXX",  "WXXX"}));
  for (const std::string& key : keys) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(tags.Get(key))) << key;
  }
}

TEST(TagsTest, StoresOnlyUnderRegisteredKeysAndOnlyChanges) {
  TId3v2Tags tags;
  EXPECT_FALSE(tags.Set("XXXX", std::string("x")));
  EXPECT_FALSE(tags.HasKey("XXXX"));
  EXPECT_EQ(tags.GetText("XXXX"), "");

  EXPECT_TRUE(tags.Set("tpe1", std::string("Band")));  // letter case does not matter
  EXPECT_EQ(tags.Artist(), "Band");
  EXPECT_FALSE(tags.Set("TPE1", std::string("Band")));
  EXPECT_TRUE(tags.Set("TPE1", std::string("")));  // empty text differs from no value
  EXPECT_FALSE(tags.Set("TPE1", std::string("")));

  EXPECT_TRUE(tags.Set("TRCK", std::int64_t{7}));
  EXPECT_EQ(tags.Track(), "7");
  EXPECT_TRUE(tags.Set("TRCK", std::string("7")));  // same text, different kind
  EXPECT_TRUE(tags.Set("TRCK", TAuTags::Value{}));
  EXPECT_EQ(tags.Track(), "");
}

TEST(TagsTest, PropertiesUseTheFourLetterKeys) {
  TId3v2Tags tags;
  struct Field {
    void (TId3v2Tags::*set)(std::string);
    std::string (TId3v2Tags::*get)() const;
    const char* key;
    const char* short_key;
  };
  const Field fields[] = {
      {&TId3v2Tags::SetAlbum, &TId3v2Tags::Album, "TALB", "TAL"},
      {&TId3v2Tags::SetArtist, &TId3v2Tags::Artist, "TPE1", "TP1"},
      {&TId3v2Tags::SetGenre, &TId3v2Tags::Genre, "TCON", "TCO"},
      {&TId3v2Tags::SetTitle, &TId3v2Tags::Title, "TIT2", "TT2"},
      {&TId3v2Tags::SetTrack, &TId3v2Tags::Track, "TRCK", "TRK"},
      {&TId3v2Tags::SetYear, &TId3v2Tags::Year, "TYER", "TYE"},
      {&TId3v2Tags::SetComment, &TId3v2Tags::Comment, "COMM", "COM"},
      {&TId3v2Tags::SetComposer, &TId3v2Tags::Composer, "TCOM", "TCM"},
      {&TId3v2Tags::SetEncoder, &TId3v2Tags::Encoder, "TENC", "TEN"},
      {&TId3v2Tags::SetCopyright, &TId3v2Tags::Copyright, "TCOP", "TCR"},
      {&TId3v2Tags::SetLanguage, &TId3v2Tags::Language, "TLAN", "TLA"},
      {&TId3v2Tags::SetLink, &TId3v2Tags::Link, "WXXX", "WXX"},
  };
  for (const Field& field : fields) {
    SCOPED_TRACE(field.key);
    (tags.*field.set)(std::string("value of ") + field.key);
    EXPECT_EQ(tags.GetText(field.key), std::string("value of ") + field.key);
    EXPECT_EQ((tags.*field.get)(), std::string("value of ") + field.key);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(tags.Get(field.short_key)));
  }
}

}  // namespace
}  // namespace kalvira
