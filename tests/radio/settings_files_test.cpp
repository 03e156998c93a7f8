// The six settings operations on real files in a program folder of their own.
#include "radio/settings_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "base/cp1251.h"
#include "platform/profile.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

using Clock = std::chrono::system_clock;

// 2009-12-08 11:03:27 UTC, 14:03:27 in Moscow.
Clock::time_point TheMoment() {
  return Clock::from_time_t(1260270207);
}

class SettingsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Moscow time without a time-zone database: log keys are in local time.
    const char* tz = std::getenv("TZ");
    if (tz != nullptr) saved_tz_ = tz;
    had_tz_ = tz != nullptr;
    ::setenv("TZ", "MSK-3", 1);
    ::tzset();
  }
  void TearDown() override {
    if (had_tz_) {
      ::setenv("TZ", saved_tz_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

  std::string Dir() const { return dir_.path().string() + "/"; }
  std::string Config() const { return ReadFileBytes(dir_.path() / "config.ini"); }
  std::string Rating() const { return ReadFileBytes(dir_.path() / "sraiting.ini"); }

  testing::TempDir dir_;
  Clock::time_point now_ = TheMoment();
  TSettingsFiles files_{Dir(), [this] { return now_; }};

 private:
  std::string saved_tz_;
  bool had_tz_ = false;
};

TEST_F(SettingsFilesTest, ReadsOfAMissingFileAreEmptyAndCreateNothing) {
  EXPECT_EQ(files_.ReadConfigValue("FormCaption"), "");
  EXPECT_EQ(files_.ReadGenreStation("Pop"), "");
  EXPECT_FALSE(fs::exists(dir_.path() / "config.ini"));
  files_.WriteConfigValue("FirstLoaded", "0");
  EXPECT_EQ(Config(), "[ZAMRACONFIG]\r\nFirstLoaded=0\r\n");
}

TEST_F(SettingsFilesTest, ReadsTheSettingsAndGenresAsTheFileHoldsThemNow) {
  WriteFileBytes(dir_.path() / "config.ini",
                 Utf8ToCp1251("[ZAMRACONFIG]\r\nSKIN =  skins/dark.skn  \r\n"
                              "SenderCaption=Интеллектуальное радио\r\n"
                              "[GENRES]\r\npop=POP\r\nРок=ULTRA\r\nDisco=Pop\r\n"));
  EXPECT_EQ(files_.ReadConfigValue("skin"), "skins/dark.skn");
  EXPECT_EQ(files_.ReadConfigValue("SenderCaption"), "Интеллектуальное радио");
  EXPECT_EQ(files_.ReadConfigValue("pop"), "");  // another section's key
  EXPECT_EQ(files_.ReadGenreStation("Pop"), "POP");
  EXPECT_EQ(files_.ReadGenreStation("РОК"), "ULTRA");
  EXPECT_EQ(files_.ReadGenreStation("Disco"), "Pop");  // as stored; only "POP" is a station
  EXPECT_EQ(files_.ReadGenreStation("Jazz"), "");

  // A change by hand counts at the next call: nothing is cached.
  WriteFileBytes(dir_.path() / "config.ini", "[GENRES]\r\npop=CLASSIC\r\n");
  EXPECT_EQ(files_.ReadGenreStation("Pop"), "CLASSIC");
  EXPECT_EQ(files_.ReadConfigValue("SKIN"), "");
}

TEST_F(SettingsFilesTest, WriteConfigValueKeepsTheRestOfTheFile) {
  const std::string before = Utf8ToCp1251(
      "[ZAMRACONFIG]\r\nzmsUserName=old@example.org\r\nOnlineChat=1\r\n\r\n"
      "[GENRES]\r\nPop=POP\r\n");
  WriteFileBytes(dir_.path() / "config.ini", before);
  files_.WriteConfigValue("zmsUserName", "new@example.org");
  files_.WriteConfigValue("zmsPassword", "c2VjcmV0");
  EXPECT_EQ(Config(), Utf8ToCp1251("[ZAMRACONFIG]\r\nzmsUserName=new@example.org\r\n"
                                   "OnlineChat=1\r\nzmsPassword=c2VjcmV0\r\n\r\n"
                                   "[GENRES]\r\nPop=POP\r\n"));
}

TEST_F(SettingsFilesTest, TwoErrorsInOneSecondLeaveTheSecond) {
  WriteFileBytes(dir_.path() / "config.ini", "[ZAMRACONFIG]\r\nOnlineChat=1\r\n");
  files_.LogError("Ошибка проверки обновления программы");
  now_ += 999ms;
  files_.LogError("Не возможно авторизоваться на сервере!");
  now_ += 1ms;
  files_.LogError("line one\r\nline two");
  EXPECT_EQ(Config(),
            Utf8ToCp1251("[ZAMRACONFIG]\r\nOnlineChat=1\r\n[ERRORLOG]\r\n"
                         "08.12.2009 - 14:03:27=Не возможно авторизоваться на сервере!\r\n"
                         "08.12.2009 - 14:03:28=line one  line two\r\n"));
}

// The Russian short date keeps its leading zeros; the long time (H:mm:ss) has none for
// the hour.
TEST(LogErrorKey, RussianShortDateAndLongTime) {
  const char* tz = std::getenv("TZ");
  const std::string saved = tz != nullptr ? tz : "";
  ::setenv("TZ", "UTC0", 1);
  ::tzset();
  const struct {
    std::time_t when;
    const char* key;
  } cases[] = {
      {1767323045, "02.01.2026 - 3:04:05"}, {1260270207, "08.12.2009 - 11:03:27"},
      {1767225600, "01.01.2026 - 0:00:00"}, {1767311999, "01.01.2026 - 23:59:59"},
      {951782400, "29.02.2000 - 0:00:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LogErrorKey(Clock::from_time_t(c.when)), c.key) << c.when;
  }
  if (tz != nullptr) {
    ::setenv("TZ", saved.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

TEST_F(SettingsFilesTest, VotesAddUpPerTrack) {
  const std::string track = "/музыка/Группа/Песня [Live].mp3";
  for (int i = 0; i < 3; ++i) files_.VoteFor(track);
  files_.VoteAgainst(track);
  files_.VoteAgainst("/other.mp3");
  EXPECT_EQ(Rating(), Utf8ToCp1251("[" + track + "]\r\nRAIT=2\r\n[/other.mp3]\r\nRAIT=-1\r\n"));
  // The section of a track is found whatever the letter case of its path.
  files_.VoteFor("/МУЗЫКА/группа/песня [live].MP3");
  EXPECT_EQ(ReadProfileString(dir_.path() / "sraiting.ini", track, "RAIT"), "3");
  EXPECT_FALSE(fs::exists(dir_.path() / "config.ini"));
}

TEST_F(SettingsFilesTest, AStoredValueThatIsNotANumberCountsAsZero) {
  struct Case {
    const char* stored;
    const char* after_vote_for;
  };
  const Case cases[] = {
      {"5", "6"},
      {" 5 ", "6"},    // the format trims
      {"\"5\"", "6"},  // and removes quotes
      {"+5", "6"},
      {"-3", "-2"},
      {"007", "8"},
      {"-0", "1"},
      {"", "1"},
      {"12abc", "1"},  // the whole value must be a number
      {"abc", "1"},
      {"1.5", "1"},
      {"0x10", "1"},
      {"- 3", "1"},
      {"+-3", "1"},
      {"+", "1"},
      {"-", "1"},
      {"٣", "1"},                     // Arabic-Indic digit: not a decimal number here
      {"99999999999999999999", "1"},  // does not fit
      {"9223372036854775807", "9223372036854775807"},  // stays at the limit
  };
  for (const auto& c : cases) {
    WriteFileBytes(dir_.path() / "sraiting.ini",
                   Utf8ToCp1251(std::string("[/t.mp3]\r\nRAIT=") + c.stored + "\r\n"));
    files_.VoteFor("/t.mp3");
    EXPECT_EQ(ReadProfileString(dir_.path() / "sraiting.ini", "/t.mp3", "RAIT"), c.after_vote_for)
        << c.stored;
  }
  WriteFileBytes(dir_.path() / "sraiting.ini", "[/t.mp3]\r\nRAIT=-9223372036854775808\r\n");
  files_.VoteAgainst("/t.mp3");
  EXPECT_EQ(Rating(), "[/t.mp3]\r\nRAIT=-9223372036854775808\r\n");
}

TEST_F(SettingsFilesTest, RefusedWritesReachTheCaller) {
  WriteFileBytes(dir_.path() / "plain", "a file, not a folder");
  const TSettingsFiles broken(dir_.path().string() + "/plain/");
  const std::string config = dir_.path().string() + "/plain/config.ini";
  const std::string rating = dir_.path().string() + "/plain/sraiting.ini";
  struct Case {
    const char* what;
    std::function<void()> call;
    std::string path;
  };
  const Case cases[] = {
      {"LogError", [&] { broken.LogError("x"); }, config},
      {"WriteConfigValue", [&] { broken.WriteConfigValue("k", "v"); }, config},
      {"VoteFor", [&] { broken.VoteFor("/t.mp3"); }, rating},
      {"VoteAgainst", [&] { broken.VoteAgainst("/t.mp3"); }, rating},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.what << " did not fail";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + c.path) << c.what;
    }
  }
  EXPECT_EQ(broken.ReadConfigValue("k"), "");
  EXPECT_EQ(ReadFileBytes(dir_.path() / "plain"), "a file, not a folder");
}

}  // namespace
}  // namespace kalvira
