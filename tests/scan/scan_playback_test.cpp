// The scan beside the playing chain: a real track plays through TMP3In and TDXAudioOut
// into the WAV-file device while a search reads tags, and a path Windows-1251 cannot hold
// comes back out of the list it was saved in. The test thread is the user-interface
// thread; the scan's pumping hands it the engine's notices.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "audio/sound_device.h"
#include "base/sync_call.h"
#include "radio/radio_core.h"
#include "scan/music_scan.h"
#include "tests/scan/scan_fixture.h"

namespace kalvira {
namespace {

using testing::MusicCollection;
using Paths = std::vector<std::string>;

long long FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

class ScanPlaybackTest : public ::testing::Test {
 protected:
  ScanPlaybackTest() { SyncCallQueue::Instance().BindUiThread(); }

  std::unique_ptr<TRadioCore> MakeCore() {
    TRadioCore::Options options;
    options.device = MakeWavFileSoundDevice(wav_);
    options.start_wait = std::chrono::milliseconds(0);
    options.seed = [] { return 1; };
    return std::make_unique<TRadioCore>(c_.Program().Dir(), c_.Program().Settings(), alert_, c_.box,
                                        std::move(options));
  }

  MusicCollection c_;
  std::string wav_ = c_.Program().File("out.wav");
  testing::RecordingAlert alert_;
};

// The scan reads every file through its own input: the track that plays keeps playing,
// and the device keeps receiving it while the tags of the found files are read.
TEST_F(ScanPlaybackTest, PlaybackGoesOnDuringASearch) {
  c_.Genre("Rock", "ULTRA");
  const std::string playing = c_.TaggedBy("playing.mp3", "id3v2 -2 --TCON Rock");
  c_.Program().WriteList("rallfm.lfm", {playing});
  for (const char* name : {"new/1.mp3", "new/2.mp3", "new/3.mp3"}) {
    c_.TaggedBy(name, "id3v2 -2 --TCON Rock");
  }
  auto core = MakeCore();
  core->SetCurrentStation("ALLFM");
  core->PlayRandomTrack();
  ASSERT_EQ(core->CurrentFile(), playing);
  ASSERT_TRUE(testing::WaitUntil([&] { return FileSize(wav_) > 0; }));

  TMusicScan scan = c_.MakeScan();
  bool heard_during_tags = false;
  c_.progress.on_pump = [&] {
    SyncCallQueue::Instance().RunPending();
    // After the first file's tags were read: the device must still be fed.
    if (c_.progress.positions.size() == 1 && !heard_during_tags) {
      const long long before = FileSize(wav_);
      heard_during_tags = testing::WaitUntil([&] {
        SyncCallQueue::Instance().RunPending();
        return FileSize(wav_) > before + 16384;
      });
    }
  };
  ASSERT_TRUE(scan.Run(ScanKind::kSearch));
  EXPECT_TRUE(heard_during_tags);
  EXPECT_EQ(scan.Added(), 3u);
  EXPECT_EQ(core->CurrentFile(), playing);
  EXPECT_EQ(core->Starts(), 1u);
  EXPECT_EQ(core->State(), TRadioCore::PlayState::kPlaying);
  const long long after = FileSize(wav_);
  EXPECT_TRUE(testing::WaitUntil([&] {
    SyncCallQueue::Instance().RunPending();
    return FileSize(wav_) > after + 16384;
  }));
  EXPECT_EQ(c_.List("rultra.lfm").size(), 3u) << "the new ones";
  core->DXAudioOut1().Stop(false);
}

// A name outside Windows-1251: the list is saved as UTF-8 with a byte-order mark, and the
// radio draws and plays that very path from it.
TEST_F(ScanPlaybackTest, APathOutsideWindows1251IsPlayedFromTheSavedList) {
  const std::string track = c_.Untagged("音楽/トラック.mp3");
  TMusicScan scan = c_.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  EXPECT_TRUE(testing::ReadFileBytes(c_.Program().File("rallfm.lfm")).starts_with("\xEF\xBB\xBF"));
  EXPECT_EQ(testing::ReadFileBytes(c_.Program().File("rpop.lfm")), "")
      << "no mark on an empty list";

  auto core = MakeCore();
  core->SetCurrentStation("ALLFM");
  core->PlayRandomTrack();
  EXPECT_EQ(core->CurrentFile(), track);
  EXPECT_EQ(core->Starts(), 1u);
  EXPECT_TRUE(c_.Program().LogMessages().empty());
  EXPECT_TRUE(testing::WaitUntil([&] {
    SyncCallQueue::Instance().RunPending();
    return FileSize(wav_) > 16384;
  }));
  core->DXAudioOut1().Stop(false);
}

}  // namespace
}  // namespace kalvira
