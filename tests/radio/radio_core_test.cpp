// The radio core over a real chain: real MP3 files played through TMP3In and
// TDXAudioOut into the WAV-file device, in real time; the test thread is the
// user-interface thread.
#include "radio/radio_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "audio/sound_device.h"
#include "base/sync_call.h"
#include "platform/profile.h"
#include "radio/settings_keys.h"
#include "radio/stations.h"
#include "tests/radio/radio_fixture.h"

namespace kalvira {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ProgramFolder;

bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
  return testing::WaitUntil(
      [&] {
        SyncCallQueue::Instance().RunPending();
        return condition();
      },
      deadline);
}

TEST(DrawIndexTest, TheLastEntryOfTwoOrMoreIsNeverDrawn) {
  struct Case {
    std::size_t count;
    std::set<std::size_t> expected;  // every index some seed gives, and no other
  };
  const std::vector<Case> cases = {{1, {0}}, {2, {0}}, {3, {0, 1}}, {5, {0, 1, 2, 3}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    std::mt19937_64 random(12345);
    std::set<std::size_t> seen;
    for (int i = 0; i < 2000; ++i) seen.insert(DrawIndex(c.count, random));
    EXPECT_EQ(seen, c.expected);
  }
}

class RadioCoreTest : public ::testing::Test {
 protected:
  RadioCoreTest() {
    SyncCallQueue::Instance().BindUiThread();
    wav_ = folder_.File("out.wav");
  }

  // A core over the WAV device; `wait` is the start wait.
  std::unique_ptr<TRadioCore> MakeCore(
      std::chrono::milliseconds wait = std::chrono::milliseconds(300)) {
    TRadioCore::Options options;
    options.device = MakeWavFileSoundDevice(wav_);
    options.start_wait = wait;
    options.seed = [] { return 42; };
    auto core = std::make_unique<TRadioCore>(folder_.Dir(), folder_.Settings(), alert_, box_,
                                             std::move(options));
    core->SetOnChanged([this, c = core.get()] {
      if (c->Starts() != starts_.size()) starts_.push_back({c->CurrentFile(), Clock::now()});
    });
    return core;
  }

  struct Start {
    std::string file;
    Clock::time_point at;
  };

  ProgramFolder folder_;
  std::string wav_;
  testing::RecordingAlert alert_;
  testing::RecordingMessageBox box_;
  std::vector<Start> starts_;
};

TEST_F(RadioCoreTest, FailuresAreLoggedAndStartNothing) {
  struct Case {
    const char* name;
    std::string station;
    std::vector<std::string> list;  // written to the station's list file unless `no_list`
    bool no_list;
    std::vector<std::string> log;
  };
  const std::string missing = folder_.File("it's gone.mp3");
  const std::vector<Case> cases = {
      {"missing ALLFM list",
       "ALLFM",
       {},
       true,
       {"Отсутствует лист радио для станции AllFM", "К сожалению данных для воспоизведения нет"}},
      {"missing ENERGY list",
       "ENERGY",
       {},
       true,
       {"Отсутствует лист радио для станции ENERGY", "К сожалению данных для воспоизведения нет"}},
      {"missing CLASSIC list",
       "CLASSIC",
       {},
       true,
       {"Отсутствует лист радио для станции CLASSIC", "К сожалению данных для воспоизведения нет"}},
      {"empty list", "POP", {}, false, {"К сожалению данных для воспоизведения нет"}},
      {"missing file, quote doubled",
       "ULTRA",
       {missing},
       false,
       {"К сожалению файл '" + folder_.File("it''s gone.mp3") + "' недоступен"}},
      {"empty line drawn", "POP", {"", "/never"}, false, {"К сожалению файл '' недоступен"}},
      {"a folder is no file",
       "POP",
       {folder_.Dir() + "templates"},
       false,
       {"К сожалению файл '" + folder_.Dir() + "templates' недоступен"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(folder_.File("config.ini"));
    for (const auto& station : kStations)
      std::filesystem::remove(folder_.File(std::string(station.list_file)));
    const StationInfo& station = *FindStation(c.station);
    if (!c.no_list) folder_.WriteList(std::string(station.list_file), c.list);
    auto core = MakeCore(std::chrono::milliseconds(0));
    core->SetCurrentStation(c.station);
    core->PlayRandomTrack();
    EXPECT_EQ(folder_.LogMessages(), c.log);
    EXPECT_EQ(core->Starts(), 0u);
    EXPECT_EQ(core->State(), TRadioCore::PlayState::kStopped);
  }
}

TEST_F(RadioCoreTest, AlertNamesStationArtistAndTrackNumber) {
  const std::string band =
      folder_.MakeTrack("band.mp3", 0.5, {"--ta", "Band", "--tn", "7", "--tt", "Title"});
  const std::string untagged = folder_.MakeTrack("untagged.mp3", 0.5, {"--tt", "Only a title"});
  folder_.WriteList("rpop.lfm", {band});
  folder_.WriteList("rallfm.lfm", {untagged});
  auto core = MakeCore();
  core->SetCurrentStation("POP");
  core->PlayRandomTrack();
  ASSERT_EQ(alert_.shown, std::vector<std::string>{"<b>POP</b> - Band<br>7"});
  EXPECT_EQ(core->CurrentFile(), band);

  // "?" names the same. A file without an artist shows no alert when it starts, and "?"
  // gives the red message for it.
  core->ShowNowPlaying();
  EXPECT_EQ(alert_.shown.back(), "<b>POP</b> - Band<br>7");
  core->SelectStation("ALLFM");
  EXPECT_EQ(core->CurrentFile(), untagged);
  EXPECT_EQ(alert_.shown.size(), 2u);
  core->ShowNowPlaying();
  EXPECT_EQ(alert_.shown.back(),
            "<font color=\"red\">Ошибка, к сожалению файл не поддерживает ID3 теги</font>");
}

TEST_F(RadioCoreTest, ChoosingTheCurrentStationDoesNothing) {
  folder_.WriteList("rallfm.lfm", {});
  auto core = MakeCore(std::chrono::milliseconds(0));
  core->SetCurrentStation("ALLFM");
  core->PlayRandomTrack();  // silent: the list is empty
  core->SelectStation("ALLFM");
  EXPECT_EQ(folder_.LogMessages().size(), 1u);
  EXPECT_EQ(core->Starts(), 0u);
}

// A station change while a track plays: the new station's track starts, the stopped
// run's notice draws again about 300 ms later, and from then on one track follows each.
TEST_F(RadioCoreTest, StationChangeWhilePlayingDrawsTwiceThenOnePerTrack) {
  const std::string all = folder_.MakeTrack("all.mp3", 3.0);
  const std::string pop = folder_.MakeTrack("pop.mp3", 1.0);
  folder_.WriteList("rallfm.lfm", {all});
  folder_.WriteList("rpop.lfm", {pop});
  auto core = MakeCore();
  core->SetCurrentStation("ALLFM");
  core->PlayRandomTrack();
  ASSERT_EQ(core->State(), TRadioCore::PlayState::kPlaying);
  core->SelectStation("POP");
  ASSERT_TRUE(PumpUntil([&] { return starts_.size() >= 4; }));
  EXPECT_EQ(starts_[0].file, all);
  for (std::size_t i = 1; i < starts_.size(); ++i) EXPECT_EQ(starts_[i].file, pop);
  // The second draw follows the first by the start wait; the third waits for the whole
  // second track (1 s of audio and the play-out).
  EXPECT_GE(starts_[2].at - starts_[1].at, std::chrono::milliseconds(300));
  EXPECT_LT(starts_[2].at - starts_[1].at, std::chrono::milliseconds(1000));
  EXPECT_GE(starts_[3].at - starts_[2].at, std::chrono::milliseconds(1000));
  EXPECT_EQ(folder_.LogMessages(), std::vector<std::string>{});
}

TEST_F(RadioCoreTest, PauseCaptionTogglesAndAStationChangeWhilePausedPlaysAtOnce) {
  const std::string all = folder_.MakeTrack("all.mp3", 3.0);
  const std::string pop = folder_.MakeTrack("pop.mp3", 3.0);
  folder_.WriteList("rallfm.lfm", {all});
  folder_.WriteList("rpop.lfm", {pop});
  auto core = MakeCore();

  // Silent radio: only the caption changes.
  EXPECT_EQ(core->PauseCaption(), "| |");
  core->PauseOrPlay();
  EXPECT_EQ(core->PauseCaption(), ">");
  EXPECT_EQ(core->State(), TRadioCore::PlayState::kStopped);
  core->PauseOrPlay();
  EXPECT_EQ(core->PauseCaption(), "| |");

  core->SetCurrentStation("ALLFM");
  core->PlayRandomTrack();
  core->PauseOrPlay();
  EXPECT_EQ(core->PauseCaption(), ">");
  EXPECT_EQ(core->State(), TRadioCore::PlayState::kPaused);
  core->PauseOrPlay();
  EXPECT_EQ(core->State(), TRadioCore::PlayState::kPlaying);
  core->PauseOrPlay();

  core->SelectStation("POP");
  EXPECT_EQ(core->CurrentFile(), pop);
  EXPECT_EQ(core->State(), TRadioCore::PlayState::kPlaying);
  EXPECT_EQ(core->PauseCaption(), ">");  // the caption keeps its own count
  core->PauseOrPlay();                   // resumes nothing
  EXPECT_EQ(core->PauseCaption(), "| |");
  EXPECT_EQ(core->State(), TRadioCore::PlayState::kPlaying);
}

TEST_F(RadioCoreTest, VotesAreStoredPerFileAndAlwaysConfirmed) {
  const std::string track = folder_.MakeTrack("it's.mp3", 0.5);
  auto core = MakeCore(std::chrono::milliseconds(0));
  core->VoteFor();  // no file yet: nothing stored, the box still shows
  ASSERT_EQ(box_.requests.size(), 1u);
  EXPECT_EQ(ReadProfileString(folder_.File("sraiting.ini"), track, "RAIT"), "");

  core->MP3In1().SetFileName(track);
  core->VoteFor();
  core->VoteFor();
  core->VoteFor();
  core->VoteAgainst();
  EXPECT_EQ(ReadProfileString(folder_.File("sraiting.ini"), track, "RAIT"), "2");
  ASSERT_EQ(box_.requests.size(), 5u);
  for (std::size_t i = 0; i < box_.requests.size(); ++i) {
    const MessageBoxRequest& r = box_.requests[i];
    EXPECT_EQ(r.text, "Ваш голос учтен");
    EXPECT_EQ(r.caption, "Голосование");
    EXPECT_EQ(r.buttons, MessageButtons::kOkCancel);
    EXPECT_EQ(r.picture, i == 4 ? 10 : 8);
  }
}

// Desktop media keys: Next replaces the track without a second draw.
TEST_F(RadioCoreTest, SkipStartsOneNewTrackOfTheStation) {
  const std::string a = folder_.MakeTrack("a.mp3", 1.0);
  const std::string b = folder_.MakeTrack("b.mp3", 1.0);
  folder_.WriteList("rallfm.lfm", {a, b, "/never drawn"});
  auto core = MakeCore();
  core->SetCurrentStation("ALLFM");
  core->PlayRandomTrack();
  core->Skip();
  ASSERT_EQ(starts_.size(), 2u);
  // The skipped run's notice starts nothing: the next start is the end of the new track.
  ASSERT_TRUE(PumpUntil([&] { return starts_.size() >= 3; }));
  EXPECT_GE(starts_[2].at - starts_[1].at, std::chrono::milliseconds(1000));
}

// A jingle that is not an MP3 fails its run like any file; the music starts after it.
TEST_F(RadioCoreTest, AJingleThatIsNoMp3LeadsToTheMusic) {
  const std::string track = folder_.MakeTrack("a.mp3", 1.0);
  folder_.WriteList("rallfm.lfm", {track});
  std::filesystem::create_directories(folder_.File("templates"));
  testing::WriteFileBytes(folder_.File("templates/jingle.mp3"), "<html>not a sound</html>\n");
  WriteProfileString(folder_.File("config.ini"), settings::kConfigSection, settings::kStartJingle,
                     "jingle.mp3");
  auto core = MakeCore(std::chrono::milliseconds(0));
  core->SetCurrentStation("ALLFM");
  core->StartJingle();
  ASSERT_TRUE(PumpUntil([&] { return core->CurrentFile() == track; }));
  ASSERT_TRUE(PumpUntil([&] { return core->State() == TRadioCore::PlayState::kPlaying; }));
}

// Whatever a list holds, a draw ends in a track or in a log entry, and the list file is
// left as it was.
TEST_F(RadioCoreTest, BrokenListsNeitherCrashNorChange) {
  const std::string track = folder_.MakeTrack("a.mp3", 1.0);
  std::string garbage;
  std::mt19937 random(7);
  for (int i = 0; i < 64 * 1024; ++i) garbage += static_cast<char>(random() % 256);
  std::string huge;  // about 100 MB of entries, every one the real track
  const std::string line = track + "\r\n";
  huge.reserve(100 * 1024 * 1024 + line.size());
  while (huge.size() < 100 * 1024 * 1024) huge += line;
  const struct {
    const char* name;
    std::string bytes;
    bool plays;
  } cases[] = {
      {"random bytes", garbage, false},
      {"NUL bytes in the entries", std::string("/mu\0sic/a.mp3\r\n/b\0\0.mp3\r\nlast\r\n", 31),
       false},
      {"one line of 4 MB", std::string(4 * 1024 * 1024, 'x') + "\r\nlast\r\n", false},
      {"100 MB of entries", huge, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(folder_.File("config.ini"));
    testing::WriteFileBytes(folder_.File("rallfm.lfm"), c.bytes);
    auto core = MakeCore(std::chrono::milliseconds(0));
    core->SetCurrentStation("ALLFM");
    EXPECT_NO_THROW(core->PlayRandomTrack());
    EXPECT_EQ(core->Starts(), c.plays ? 1u : 0u);
    if (c.plays) {
      EXPECT_EQ(core->CurrentFile(), track);
    } else {
      const std::vector<std::string> log = folder_.LogMessages();
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0].rfind("К сожалению файл '", 0), 0u) << log[0].substr(0, 80);
    }
    EXPECT_TRUE(testing::ReadFileBytes(folder_.File("rallfm.lfm")) == c.bytes);
  }
}

// The real reader, but every file is protected: opening it raises "File is protected".
class ProtectedReader : public MediaReader {
 public:
  bool Open(MediaSource& source, std::int64_t start) override { return real_->Open(source, start); }
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
  bool IsProtected() const override { return true; }
  bool NextSample(const std::uint8_t** data, std::size_t* length) override {
    return real_->NextSample(data, length);
  }
  void SetRange(std::int64_t start) override { real_->SetRange(start); }
  std::int64_t Duration() const override { return real_->Duration(); }
  std::optional<std::string> Attribute(std::string_view name) const override {
    return real_->Attribute(name);
  }

 private:
  std::unique_ptr<MediaReader> real_ = CreateMediaReader();
};

// Reading the tags right after the start may fail; the run goes on and the failure is
// only logged.
TEST_F(RadioCoreTest, TagReadFailureAfterTheStartIsLogged) {
  const std::string track = folder_.MakeTrack("a.mp3", 0.5);
  folder_.WriteList("rallfm.lfm", {track});
  auto core = MakeCore(std::chrono::milliseconds(0));
  core->MP3In1().SetReaderFactory([] { return std::make_unique<ProtectedReader>(); });
  core->SetCurrentStation("ALLFM");
  EXPECT_NO_THROW(core->PlayRandomTrack());
  EXPECT_EQ(core->Starts(), 1u);
  EXPECT_EQ(folder_.LogMessages(),
            std::vector<std::string>{"Не возможно прочитать музыкальный файл '" + track + "'"});
  EXPECT_TRUE(alert_.shown.empty());
}

}  // namespace
}  // namespace kalvira
