// Skin files: the plain and the compressed form read back to the same sheet, and every
// way a file can fail to be a skin is refused with the file's name in the message.
#include "ui/skin_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/test_support.h"

namespace kalvira::ui {
namespace {

const std::string kSheet = "QWidget { color: white; } /* } */ QLabel { font: \"}\"; }";

TEST(SkinCodecTest, BothFormsDecodeToTheSheet) {
  EXPECT_EQ(DecodeSkinBytes(kSheet, "plain.qss"), kSheet);
  EXPECT_EQ(DecodeSkinBytes("\xEF\xBB\xBF" + kSheet, "bom.qss"), kSheet);
  const std::string packed = CompressSkinText(kSheet, "sheet");
  EXPECT_TRUE(IsCompressedSkin(packed));
  EXPECT_FALSE(IsCompressedSkin(kSheet));
  EXPECT_EQ(DecodeSkinBytes(packed, "packed.qssz"), kSheet);
}

TEST(SkinCodecTest, RefusesWhatIsNotASkin) {
  std::string truncated = CompressSkinText(kSheet, "sheet");
  truncated.resize(truncated.size() / 2);
  std::string flipped = CompressSkinText(kSheet, "sheet");
  flipped.back() ^= 0x55;  // the checksum no longer matches
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"blank", " \r\n\t "},
      {"nul", std::string("QWidget {}\0", 11)},
      {"invalid-utf8", "QLabel { font: \"\xC3\x28\"; }"},
      {"unbalanced-open", "QWidget { color: red;"},
      {"unbalanced-close", "QWidget { color: red; } }"},
      {"truncated-zlib", truncated},
      {"bad-checksum", flipped},
      {"random", "\x78\x9c\x01\x02\x03\x04\x05"},
  };
  for (const auto& c : cases) {
    try {
      DecodeSkinBytes(c.bytes, std::string("skins/") + c.name);
      ADD_FAILURE() << c.name << " was taken for a skin";
    } catch (const ESkinError& e) {
      EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos) << e.what();
    }
  }
}

TEST(SkinCodecTest, ReadingAMissingFileNamesIt) {
  testing::TempDir dir;
  const std::string path = dir.File("none.qss");
  try {
    ReadSkinFile(path);
    ADD_FAILURE() << "no error";
  } catch (const ESkinError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
}

TEST(SkinCodecTest, TheShippedSkinsAreSkins) {
  const std::string source = std::getenv("KALVIRA_SOURCE_DIR");
  for (const char* name : {"data/skins/kalvira.qss", "data/skins/kalvira-night.qss"}) {
    const std::string text = DecodeSkinBytes(ReadSkinFile(source + "/" + name), name);
    EXPECT_NE(text.find("QWidget"), std::string::npos) << name;
    EXPECT_EQ(DecodeSkinBytes(CompressSkinText(text, name), name), text) << name;
  }
}

}  // namespace
}  // namespace kalvira::ui
