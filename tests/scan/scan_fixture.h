// A music collection for the scan's tests: a program folder (with GENRES entries) and a
// "drive" folder beside it filled with real MP3 files larger than the scan's threshold,
// tagged by real tag writers or with tag bytes built here; and a progress recorder that
// notes what the scan's windows would show. Test thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "scan/music_scan.h"
#include "tests/radio/radio_fixture.h"

namespace kalvira::testing {

// What the windows were told, in order.
class RecordingProgress : public IScanProgress {
 public:
  void Pump() override {
    ++pumps;
    if (on_pump) on_pump();
  }
  void ShowSearch(ScanKind kind) override {
    events.push_back(kind == ScanKind::kSearch ? "search" : "first run");
  }
  void FoundCount(std::size_t count) override { found.push_back(count); }
  void ShowSorting(std::size_t found_files) override {
    events.push_back("sorting " + std::to_string(found_files));
    if (on_sorting) on_sorting();
  }
  void SortingPosition(std::size_t index) override { positions.push_back(index); }
  void Ended() override { events.push_back("ended"); }

  std::size_t pumps = 0;
  std::vector<std::string> events;
  std::vector<std::size_t> found;
  std::vector<std::size_t> positions;
  std::function<void()> on_pump;
  std::function<void()> on_sorting;
};

class MusicCollection {
 public:
  MusicCollection();

  ProgramFolder& Program() { return program_; }
  // The folder the scan searches, without a trailing "/".
  const std::string& Drive() const { return drive_; }
  std::string Path(const std::string& relative) const { return drive_ + "/" + relative; }

  // An untagged MP3 above the threshold at `relative` (folders made as needed).
  std::string Untagged(const std::string& relative);
  // The same audio behind an ID3v2 tag made of `frames` (Id3v2TextFrame of mp3_fixtures).
  std::string WithId3v2(const std::string& relative, int version,
                        const std::vector<std::string>& frames);
  // Tagged by a command-line tag writer: `command` gets the file's quoted path appended.
  std::string TaggedBy(const std::string& relative, const std::string& command);
  // Encoded by lame with its own tag options (e.g. {"--tg", "Rock", "--id3v2-only"}).
  std::string EncodedWith(const std::string& relative, const std::vector<std::string>& lame_tags);
  // A real MP3 of exactly `size` bytes (a short tone behind a padded ID3v2 tag).
  std::string OfSize(const std::string& relative, std::size_t size);
  // Any bytes at `relative`.
  std::string Bytes(const std::string& relative, const std::string& bytes);

  // One GENRES entry of config.ini.
  void Genre(const std::string& key, const std::string& value);

  // A scan of Drive() over the program folder, with recorders.
  TMusicScan MakeScan();
  // The entries of a station list file (the name as the scan writes it).
  std::vector<std::string> List(const std::string& name) const;

  RecordingProgress progress;
  RecordingBeeper beeper;
  RecordingMessageBox box;

 private:
  ProgramFolder program_;
  TempDir drive_dir_;
  std::string drive_;
};

}  // namespace kalvira::testing
