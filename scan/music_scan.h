// TMusicScan, the music collection scan: searches the ready drives for *.mp3 files, reads
// the genre of each one larger than 1024000 bytes, sorts it through the GENRES table into
// the genre station lists and adds it to the all-genres list, and saves the five list
// files. Two entry points share the procedure: the first-run scan (rallfm.lfm missing at
// start) and the search for new music (the search button), which skips files already
// in rallfm.lfm and tells how many it added.
//
// The scan holds no widget. It shows its progress through IScanProgress, whose Pump lets
// the user-interface thread handle what waits (timers, clicks, the sound output's
// notices) at every folder entry, every match, before each drive and after each accepted
// file, so the program stays usable while the scan runs on that thread.
//
// Tags are read through media readers of the scan's own (genre_reader.h), ahead of the
// sorting on worker threads (tag_prefetch.h), never through the playing chain, so the
// track that plays goes on undisturbed. A file whose tags cannot be read is logged
// ("Не возможно прочитать музыкальный файл " + the quoted path) and left out. A file
// whose name holds CR or LF cannot be one line of a list file and is left out. A second
// Run while one runs (through the pumping) is refused.
//
// Failures: a list file that cannot be written raises ProfileWriteError after every list
// has been tried (each is replaced atomically or left whole), and so does a config.ini
// that refuses a log entry or FirstLoaded; the progress windows are closed first.
// Nothing else of the scan raises.
//
// Threads: the user-interface thread only. Sizes and tags are read ahead by worker
// threads (tag_prefetch.h) and the five list files are replaced on threads of their own,
// one per file; all are joined before Run goes on. Everything else, the settings files
// and the windows included, stays on the calling thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop_services.h"
#include "radio/settings_files.h"
#include "scan/drives.h"

namespace kalvira {

namespace scan_texts {
inline constexpr std::string_view kSearchLabel3 = "Поиск новой музыки...";
inline constexpr std::string_view kAddedBefore = "В коллекцию добавлено: ";
inline constexpr std::string_view kAddedAfter = " файлов";
inline constexpr std::string_view kMask = "*.mp3";
}  // namespace scan_texts

// Files of this size or smaller never enter a list (1000 x 1024 bytes).
inline constexpr std::int32_t kMinimumTrackSize = 1024000;

enum class ScanKind { kFirstRun, kSearch };

// What the scan's windows show. Every call comes from the scan, on its thread.
class IScanProgress {
 public:
  virtual ~IScanProgress() = default;
  // Handles what waits on the user-interface thread. Called very often: it may let most
  // calls pass and act only every few milliseconds.
  virtual void Pump() = 0;
  // frmSearchDialog appears (not modal); for kSearch with Label3 "Поиск новой музыки...".
  virtual void ShowSearch(ScanKind kind) = 0;
  // bprStatus: the number of files found so far.
  virtual void FoundCount(std::size_t count) = 0;
  // frmSearchDialog goes, frmMP3ID3TagByGenreGenerateList appears with the gauge's
  // maximum at `found`.
  virtual void ShowSorting(std::size_t found) = 0;
  // The gauge's value.
  virtual void SortingPosition(std::size_t index) = 0;
  // Both windows are hidden (also when the scan leaves early by an error).
  virtual void Ended() = 0;
};

class TMusicScan {
 public:
  struct Options {
    // Replaces SystemDrives() (tests).
    std::optional<std::vector<TDrive>> drives;
  };

  // `program_dir` ends with "/". The references must outlive the scan.
  TMusicScan(std::string program_dir, const TSettingsFiles& settings, IBeeper& beeper,
             IMessageBox& message_box, IScanProgress& progress, Options options);
  TMusicScan(std::string program_dir, const TSettingsFiles& settings, IBeeper& beeper,
             IMessageBox& message_box, IScanProgress& progress);
  ~TMusicScan();
  TMusicScan(const TMusicScan&) = delete;
  TMusicScan& operator=(const TMusicScan&) = delete;

  // The whole scan; returns when the lists are saved (and, for kSearch, the message box
  // has been answered). False, doing nothing, while another Run is under way.
  bool Run(ScanKind kind);
  bool Running() const { return running_; }

  // Of the last Run: files found by the walk, and files added to the all-genres list.
  std::size_t Found() const { return found_; }
  std::size_t Added() const { return added_; }

 private:
  const std::string program_dir_;
  const TSettingsFiles& settings_;
  IBeeper& beeper_;
  IMessageBox& message_box_;
  IScanProgress& progress_;
  const Options options_;

  bool running_ = false;
  std::size_t found_ = 0;
  std::size_t added_ = 0;
};

// The message box text of a search: "В коллекцию добавлено: " + count + " файлов".
std::string AddedMessage(std::size_t count);

}  // namespace kalvira
