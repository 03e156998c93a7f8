// The config.ini that ships beside the executable (data/config.ini).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "base/cp1251.h"
#include "base/text.h"
#include "radio/settings_files.h"
#include "radio/settings_keys.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;

fs::path SourceDir() {
  const char* dir = std::getenv("KALVIRA_SOURCE_DIR");
  return dir != nullptr ? fs::path(dir) : fs::path(".");
}

class ShippedConfigTest : public ::testing::Test {
 protected:
  const fs::path path_ = SourceDir() / "data" / "config.ini";
  const std::string bytes_ = testing::ReadFileBytes(path_);
  const TSettingsFiles files_{(SourceDir() / "data").string() + "/"};
};

TEST_F(ShippedConfigTest, IsWindows1251WithCrlfLines) {
  ASSERT_FALSE(bytes_.empty()) << path_;
  ASSERT_FALSE(bytes_.starts_with("\xFF\xFE"));
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes_[i]);
    EXPECT_NE(b, 0x98) << "byte " << i << " is no character of Windows-1251";
    EXPECT_FALSE(b < 0x20 && b != '\r' && b != '\n') << "control byte at " << i;
    if (b == '\r') {
      EXPECT_TRUE(i + 1 < bytes_.size() && bytes_[i + 1] == '\n') << "lone CR at " << i;
    }
    if (b == '\n') {
      EXPECT_TRUE(i > 0 && bytes_[i - 1] == '\r') << "lone LF at " << i;
    }
  }
  EXPECT_TRUE(bytes_.ends_with("\r\n"));
}

TEST_F(ShippedConfigTest, HoldsTheShippedSettings) {
  EXPECT_EQ(files_.ReadConfigValue(settings::kFormCaption), "Kalvira 5");
  EXPECT_EQ(files_.ReadConfigValue(settings::kSenderCaption), "Интеллектуальное радио");
  for (const auto key : {settings::kCheckForUpdate, settings::kOnlineChat, settings::kAlphaBlend}) {
    const std::string value = files_.ReadConfigValue(key);
    EXPECT_TRUE(value == "0" || value == "1") << key << "=" << value;
  }
  // The skin and the picture are relative to the program folder, which the program makes
  // its current folder; the jingle lives in templates/.
  const fs::path data = fs::path(std::getenv("KALVIRA_SOURCE_DIR")) / "data";
  EXPECT_EQ(files_.ReadConfigValue(settings::kSkin), "skins/kalvira.qss");
  EXPECT_TRUE(fs::exists(data / files_.ReadConfigValue(settings::kSkin)));
  EXPECT_TRUE(fs::exists(data / files_.ReadConfigValue(settings::kBackgroundLogo)));
  EXPECT_TRUE(fs::exists(data / "templates" / files_.ReadConfigValue(settings::kStartJingle)));
}

TEST_F(ShippedConfigTest, GenresMapToTheFourStations) {
  struct Case {
    const char* genre;
    const char* station;  // empty: joins only the all-genres station
  };
  const Case cases[] = {
      {"Pop", "POP"},
      {"pop", "POP"},
      {"Top 40", "POP"},
      {"Поп", "POP"},
      {"Эстрада", "POP"},
      {"Heavy Metal", "ULTRA"},
      {"HEAVY METAL", "ULTRA"},
      {"Rock", "ULTRA"},
      {"Alternative", "ULTRA"},
      {"Punk Rock", "ULTRA"},
      {"Русский рок", "ULTRA"},
      {"Техно", "ELECTRO"},
      {"ТЕХНО", "ELECTRO"},
      {"Электроника", "ELECTRO"},
      {"Techno", "ELECTRO"},
      {"Trance", "ELECTRO"},
      {"Drum & Bass", "ELECTRO"},
      {"Classical", "CLASSIC"},
      {"Opera", "CLASSIC"},
      {"Chamber Music", "CLASSIC"},
      {"Классика", "CLASSIC"},
      {"Blues", ""},
      {"Country", ""},
      {"Jazz", ""},
      {"Speech", ""},
      {"Audiobook", ""},
      {"Other", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(files_.ReadGenreStation(c.genre), c.station) << c.genre;
}

TEST_F(ShippedConfigTest, EveryGenreLineNamesAStationOnce) {
  const std::set<std::string> stations = {
      std::string(settings::kGenreElectro), std::string(settings::kGenreUltra),
      std::string(settings::kGenrePop), std::string(settings::kGenreClassic)};
  const std::string text = Cp1251ToUtf8(bytes_);
  std::set<std::string> seen;
  bool in_genres = false;
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = text.find("\r\n", pos);
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    if (line.starts_with("[")) {
      in_genres = line == "[GENRES]";
      continue;
    }
    if (!in_genres || line.empty() || line.starts_with(";")) continue;
    const std::size_t eq = line.find('=');
    ASSERT_NE(eq, std::string::npos) << line;
    const std::string genre = line.substr(0, eq);
    // A second line of the same genre would be silently ignored.
    EXPECT_TRUE(seen.insert(FoldCase(genre)).second) << "twice: " << genre;
    EXPECT_TRUE(stations.contains(line.substr(eq + 1))) << line;
    EXPECT_EQ(files_.ReadGenreStation(genre), line.substr(eq + 1)) << line;
    ++count;
  }
  EXPECT_GT(count, 0u);
}

TEST_F(ShippedConfigTest, IsCopiedBesideTheBuiltProgram) {
  const char* build = std::getenv("KALVIRA_BUILD_DIR");
  if (build == nullptr) GTEST_SKIP() << "KALVIRA_BUILD_DIR not set";
  const fs::path copy = fs::path(build) / "app" / "config.ini";
  if (!fs::exists(fs::path(build) / "app" / "kalvira")) GTEST_SKIP() << "kalvira not built";
  EXPECT_EQ(testing::ReadFileBytes(copy), bytes_) << copy;
}

}  // namespace
}  // namespace kalvira
