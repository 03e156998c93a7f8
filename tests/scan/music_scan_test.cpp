// The scan procedure over real MP3 files in a folder standing for a drive: what the five
// list files hold afterwards, what the windows were told, the log and the message box.
#include "scan/music_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "base/cp1251.h"
#include "platform/profile.h"
#include "radio/list_file.h"
#include "radio/radio_core.h"
#include "radio/settings_keys.h"
#include "scan/collect_files.h"
#include "tests/audio/mp3_fixtures.h"
#include "tests/scan/scan_fixture.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;
using testing::Id3Encoding;
using testing::Id3v2TextFrame;
using testing::MusicCollection;
using Paths = std::vector<std::string>;

constexpr const char* kListNames[] = {"relectro.lfm", "rultra.lfm", "rpop.lfm", "rallfm.lfm",
                                      "rClassic.lfm"};

std::string FirstLoaded(MusicCollection& c) {
  return c.Program().Settings().ReadConfigValue(settings::kFirstLoaded);
}

TEST(MusicScanTest, OnlyMp3FilesAboveTheThresholdEnterTheLists) {
  MusicCollection c;
  c.OfSize("exact.mp3", 1024000);
  const std::string above = c.OfSize("above.mp3", 1024001);
  const std::string upper = c.Untagged("SONG.MP3");
  c.Untagged("song.mp3.bak");
  const std::string hidden = c.Untagged(".hidden/.secret.mp3");
  c.OfSize("small.mp3", 200000);
  c.Bytes("empty.mp3", "");
  fs::create_directories(c.Path("folder.mp3"));

  TMusicScan scan = c.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));

  Paths all = c.List("rallfm.lfm");
  std::sort(all.begin(), all.end());
  Paths expected = {above, upper, hidden};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);
  EXPECT_EQ(scan.Found(), 6u) << "every *.mp3 file, whatever its size";
  EXPECT_EQ(FirstLoaded(c), "0");
  EXPECT_TRUE(c.box.requests.empty()) << "the first run shows no box";
  EXPECT_EQ(c.progress.events, (std::vector<std::string>{"first run", "sorting 6", "ended"}));
  EXPECT_EQ(c.progress.found, (std::vector<std::size_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(c.Program().LogMessages().empty());
}

// Genre texts as tag writers store them, sorted through GENRES: the key matched in any
// letter case, the value only in capitals.
TEST(MusicScanTest, TheGenreOfEachTagKindChoosesTheStation) {
  MusicCollection c;
  c.Genre("pop", "POP");
  c.Genre("Rock", "ULTRA");
  c.Genre("Techno", "ELECTRO");
  c.Genre("Classical", "CLASSIC");
  c.Genre("Поп", "POP");
  c.Genre("Dance", "Pop");  // not in capitals: no station

  struct Case {
    std::string name;
    std::string path;
    std::string list;  // the genre list it joins, empty for none
  };
  std::vector<Case> cases;
  auto add = [&](std::string name, std::string path, std::string list) {
    cases.push_back({std::move(name), std::move(path), std::move(list)});
  };
  add("ID3v1 numeric genre 13 (id3v2 tool)", c.TaggedBy("v1.mp3", "id3v2 -1 -g 13"), "rpop.lfm");
  add("ID3v2.3 text Rock (id3v2 tool)", c.TaggedBy("v23.mp3", "id3v2 -2 --TCON Rock"),
      "rultra.lfm");
  add("ID3v2.4 Techno (eyeD3)", c.TaggedBy("v24.mp3", "eyeD3 --quiet --to-v2.4 -G Techno"),
      "relectro.lfm");
  add("lame's own ID3v2 tag", c.EncodedWith("lame.mp3", {"--tg", "Classical", "--id3v2-only"}),
      "rClassic.lfm");
  add("ID3v2.3 numeric reference (32)",
      c.WithId3v2("ref.mp3", 3, {Id3v2TextFrame(3, "TCON", Id3Encoding::kLatin1, "(32)")}),
      "rClassic.lfm");
  add("Windows-1251 bytes in a frame marked ISO-8859-1",
      c.WithId3v2("cp.mp3", 3,
                  {Id3v2TextFrame(3, "TCON", Id3Encoding::kLatin1, Utf8ToCp1251("Поп"))}),
      "rpop.lfm");
  add("ID3v2.4 UTF-8 POP in capitals, key pop",
      c.WithId3v2("utf8.mp3", 4, {Id3v2TextFrame(4, "TCON", Id3Encoding::kUtf8, "POP")}),
      "rpop.lfm");
  add("a value not in capitals", c.TaggedBy("dance.mp3", "id3v2 -2 --TCON Dance"), "");
  add("a genre without an entry", c.TaggedBy("jazz.mp3", "id3v2 -2 --TCON Jazz"), "");
  add("no tag at all", c.Untagged("plain.mp3"), "");

  TMusicScan scan = c.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));

  const Paths all = c.List("rallfm.lfm");
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(std::count(all.begin(), all.end(), k.path), 1);
    for (const char* list : kListNames) {
      if (std::string(list) == "rallfm.lfm") continue;
      const Paths entries = c.List(list);
      EXPECT_EQ(std::count(entries.begin(), entries.end(), k.path), k.list == list ? 1 : 0) << list;
    }
  }
  EXPECT_EQ(all.size(), cases.size());
  EXPECT_TRUE(c.Program().LogMessages().empty());
}

TEST(MusicScanTest, ASearchAddsOnlyNewFilesAndSaysHowMany) {
  MusicCollection c;
  c.Genre("Pop", "POP");
  const std::string old_track = c.TaggedBy("old.mp3", "id3v2 -2 --TCON Pop");
  TMusicScan scan = c.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  const std::string new_track = c.TaggedBy("new/new.mp3", "id3v2 -2 --TCON Pop");
  // A path listed in other letter case counts as listed.
  const std::string cased = c.Untagged("Cased.mp3");
  Paths all = c.List("rallfm.lfm");
  all.push_back(c.Path("CASED.MP3"));
  WriteListFile(c.Program().File("rallfm.lfm"), all);
  c.progress.events.clear();

  ASSERT_TRUE(scan.Run(ScanKind::kSearch));
  EXPECT_EQ(c.List("rallfm.lfm"), (Paths{old_track, c.Path("CASED.MP3"), new_track}));
  EXPECT_EQ(c.List("rpop.lfm"), (Paths{old_track, new_track}));
  EXPECT_EQ(scan.Added(), 1u);
  ASSERT_EQ(c.box.requests.size(), 1u);
  EXPECT_EQ(c.box.requests[0].text, "В коллекцию добавлено: 1 файлов");
  EXPECT_EQ(c.box.requests[0].kind, MessageKind::kInformation);
  EXPECT_EQ(c.box.requests[0].buttons, MessageButtons::kOkCancel);
  EXPECT_EQ(c.progress.events, (std::vector<std::string>{"search", "sorting 3", "ended"}));

  // Nothing new: 0 added, every file rewritten with the same bytes.
  std::vector<std::string> before;
  for (const char* list : kListNames)
    before.push_back(testing::ReadFileBytes(c.Program().File(list)));
  ASSERT_TRUE(scan.Run(ScanKind::kSearch));
  ASSERT_EQ(c.box.requests.size(), 2u);
  EXPECT_EQ(c.box.requests[1].text, "В коллекцию добавлено: 0 файлов");
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(testing::ReadFileBytes(c.Program().File(kListNames[i])), before[i]) << kListNames[i];
  }
  EXPECT_EQ(c.Program().Settings().ReadConfigValue(settings::kFirstLoaded), "0");
  (void)cased;
}

TEST(MusicScanTest, AFirstRunThatFindsNothingWritesFiveEmptyLists) {
  MusicCollection c;
  c.OfSize("small.mp3", 5000);
  TMusicScan scan = c.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  for (const char* list : kListNames) {
    SCOPED_TRACE(list);
    struct stat info {};
    ASSERT_EQ(::stat(c.Program().File(list).c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0);
  }
  EXPECT_EQ(FirstLoaded(c), "0");
  EXPECT_EQ(c.progress.events, (std::vector<std::string>{"first run", "sorting 1", "ended"}));
  EXPECT_TRUE(c.progress.positions.empty());
}

// rallfm.lfm deleted, the genre lists kept: the first run appends every file to them
// again; a search never doubles what rallfm.lfm holds.
TEST(MusicScanTest, AFirstRunAfterRallfmWasDeletedDoublesTheGenreEntries) {
  MusicCollection c;
  c.Genre("Pop", "POP");
  const std::string track = c.TaggedBy("a.mp3", "id3v2 -2 --TCON Pop");
  TMusicScan scan = c.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  fs::remove(c.Program().File("rallfm.lfm"));
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  EXPECT_EQ(c.List("rpop.lfm"), (Paths{track, track}));
  EXPECT_EQ(c.List("rallfm.lfm"), (Paths{track}));
  ASSERT_TRUE(scan.Run(ScanKind::kSearch));
  EXPECT_EQ(c.List("rpop.lfm"), (Paths{track, track}));
  EXPECT_EQ(c.List("rallfm.lfm"), (Paths{track}));
}

// The gauge goes to the index of each accepted file in the found list; when the last
// found file is accepted it ends one short of its maximum.
TEST(MusicScanTest, TheGaugeEndsAtTheIndexOfTheLastAcceptedFile) {
  MusicCollection c;
  for (const char* name : {"a/1.mp3", "a/3.mp3", "b/4.mp3"}) c.Untagged(name);
  c.OfSize("a/2.mp3", 5000);
  Paths walk;  // the walk's order is the file system's
  CollectFiles(c.Drive(), "*.mp3", walk, true);
  std::vector<std::size_t> accepted;
  for (std::size_t i = 0; i < walk.size(); ++i) {
    if (!walk[i].ends_with("2.mp3")) accepted.push_back(i);
  }
  TMusicScan scan = c.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  EXPECT_EQ(c.progress.events, (std::vector<std::string>{"first run", "sorting 4", "ended"}));
  EXPECT_EQ(c.progress.positions, accepted);
  if (!walk.back().ends_with("2.mp3")) {
    EXPECT_EQ(c.progress.positions.back(), 3u) << "one short of the maximum, 4";
  }
}

TEST(MusicScanTest, TheClassicListIsOneFileWhateverTheCaseOfItsName) {
  MusicCollection c;
  c.Genre("Classical", "CLASSIC");
  const std::string listed = c.Path("listed.mp3");
  c.Program().WriteList("rclassic.lfm", {listed});
  const std::string track = c.TaggedBy("b.mp3", "id3v2 -2 --TCON Classical");
  TMusicScan scan = c.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  EXPECT_FALSE(fs::exists(c.Program().File("rClassic.lfm")));
  EXPECT_EQ(c.List("rclassic.lfm"), (Paths{listed, track}));
}

// Through the pumping a second scan is asked for: it is refused and the first goes on.
TEST(MusicScanTest, ASecondScanCannotStartWhileOneRuns) {
  MusicCollection c;
  c.Untagged("a.mp3");
  TMusicScan scan = c.MakeScan();
  std::vector<bool> second;
  c.progress.on_pump = [&] {
    if (second.empty()) second.push_back(scan.Run(ScanKind::kSearch));
  };
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  EXPECT_EQ(second, std::vector<bool>{false});
  EXPECT_FALSE(scan.Running());
  EXPECT_EQ(c.List("rallfm.lfm"), (Paths{c.Path("a.mp3")}));
  EXPECT_EQ(c.progress.events, (std::vector<std::string>{"first run", "sorting 1", "ended"}));
  c.progress.on_pump = {};
  EXPECT_TRUE(scan.Run(ScanKind::kSearch)) << "a scan may run again once the first has ended";
}

TEST(MusicScanTest, ADriveThatIsNotReadyBeepsAndIsSkipped) {
  MusicCollection c;
  const std::string track = c.Untagged("a.mp3");
  TMusicScan::Options options;
  options.drives = std::vector<TDrive>{{c.Drive() + "/absent", false}, {c.Drive(), false}};
  TMusicScan scan(c.Program().Dir(), c.Program().Settings(), c.beeper, c.box, c.progress,
                  std::move(options));
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  EXPECT_EQ(c.beeper.beeps, 1);
  EXPECT_EQ(c.List("rallfm.lfm"), (Paths{track}));
}

// Bad files among good ones: nothing crashes, the good ones are listed, a file whose
// tags cannot be read is logged and left out.
TEST(MusicScanBadInputTest, BrokenFilesAreLeftOutAndTheRestIsListed) {
  MusicCollection c;
  const std::string good = c.Untagged("good.mp3");
  std::mt19937 random(7);
  std::string noise(1100000, '\0');
  for (char& byte : noise) byte = static_cast<char>(random() & 0xFF);
  const std::string noisy = c.Bytes("noise.mp3", noise);
  c.Bytes("zero.mp3", "");
  c.Bytes("zeros.mp3", std::string(1100000, '\0'));
  std::string cut = testing::ReadFileBytes(good);
  cut.resize(1050000);
  const std::string truncated = c.Bytes("cut.mp3", cut);
  const std::string newline = c.Untagged("line\nbreak.mp3");
  const std::string vanishing = c.Untagged("vanishing.mp3");
  c.progress.on_sorting = [&] { fs::remove(vanishing); };

  TMusicScan scan = c.MakeScan();
  ASSERT_TRUE(scan.Run(ScanKind::kFirstRun));
  const Paths all = c.List("rallfm.lfm");
  EXPECT_EQ(std::count(all.begin(), all.end(), good), 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), truncated), 1) << "a cut file still plays";
  EXPECT_EQ(std::count(all.begin(), all.end(), vanishing), 0);
  for (const std::string& entry : all) {
    EXPECT_EQ(entry.find('\n'), std::string::npos) << "a line break cannot be in a list";
  }
  // Whatever the decoder makes of noise, it is either sorted or logged, never both.
  const std::vector<std::string> log = c.Program().LogMessages();
  const std::string unreadable =
      std::string(radio_texts::kUnreadableFile).append(QuotedPath(noisy));
  const bool listed = std::count(all.begin(), all.end(), noisy) == 1;
  EXPECT_NE(listed, std::count(log.begin(), log.end(), unreadable) == 1);
  const std::string zeros_unreadable =
      std::string(radio_texts::kUnreadableFile).append(QuotedPath(c.Path("zeros.mp3")));
  EXPECT_EQ(std::count(log.begin(), log.end(), zeros_unreadable), 1) << "zeros are no audio";
  EXPECT_EQ(scan.Found(), 7u);
  (void)newline;
}

// A list that cannot be written: the others are still saved, the old file stays whole,
// the error comes out of the scan with the windows closed, FirstLoaded is not written.
TEST(MusicScanBadInputTest, AListThatCannotBeSavedRaisesAndLosesNothing) {
  MusicCollection c;
  c.Genre("Pop", "POP");
  const std::string listed = c.Path("listed.mp3");
  c.Program().WriteList("rallfm.lfm", {listed});
  const std::string track = c.TaggedBy("a.mp3", "id3v2 -2 --TCON Pop");
  fs::create_directories(c.Program().File("rpop.lfm"));  // a folder where the list goes

  TMusicScan scan = c.MakeScan();
  EXPECT_THROW(scan.Run(ScanKind::kSearch), ProfileWriteError);
  EXPECT_FALSE(scan.Running());
  EXPECT_EQ(c.progress.events.back(), "ended");
  EXPECT_TRUE(fs::is_directory(c.Program().File("rpop.lfm")));
  EXPECT_EQ(c.List("rallfm.lfm"), (Paths{listed, track}));
  EXPECT_EQ(c.List("rClassic.lfm"), Paths{});
  EXPECT_TRUE(c.box.requests.empty());
  for (const auto& entry : fs::directory_iterator(c.Program().Dir())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
        << entry.path() << " left behind";
  }
}

// A program folder the scan may not write to (root bypasses permissions, so the scan runs
// in a child that has given up root): the first list's error comes out of the scan, every
// old list stays as it was, nothing is left behind.
TEST(MusicScanBadInputTest, AReadOnlyProgramFolderRaisesAndLosesNothing) {
  MusicCollection c;
  const std::string listed = c.Path("listed.mp3");
  c.Program().WriteList("rallfm.lfm", {listed});
  c.Program().WriteList("rpop.lfm", {listed});
  c.Untagged("new.mp3");
  const std::string before = testing::ReadFileBytes(c.Program().File("rallfm.lfm"));
  for (const std::string& folder : {c.Program().Dir(), c.Drive()}) {
    fs::permissions(folder, fs::perms(0555));
  }
  fs::permissions(c.Path("new.mp3"), fs::perms(0644));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    TMusicScan scan = c.MakeScan();
    try {
      scan.Run(ScanKind::kSearch);
    } catch (const ProfileWriteError& error) {
      const bool named =
          std::string(error.what()) == "Unable to write to " + c.Program().File("relectro.lfm");
      ::_exit(named && c.progress.events.back() == "ended" && c.box.requests.empty() ? 0 : 5);
    }
    ::_exit(4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  fs::permissions(c.Program().Dir(), fs::perms(0755));
  fs::permissions(c.Drive(), fs::perms(0755));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: no user to become, 4: nothing raised, 5: wrong error";
  EXPECT_EQ(testing::ReadFileBytes(c.Program().File("rallfm.lfm")), before);
  EXPECT_EQ(c.List("rpop.lfm"), Paths{listed});
  EXPECT_FALSE(fs::exists(c.Program().File("relectro.lfm")));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(c.Program().Dir())) ++files;
  EXPECT_EQ(files, 3u) << "templates/, rallfm.lfm, rpop.lfm and nothing else";
}

}  // namespace
}  // namespace kalvira
