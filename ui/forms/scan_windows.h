// TScanWindows, the music scan's progress (scan/music_scan.h) shown in its two windows:
// frmSearchDialog while the drives are searched, frmMP3ID3TagByGenreGenerateList while the
// found files are sorted. Pump processes the user-interface thread's events (window
// messages, timers, the engine's notices), at most once per kPumpInterval: the scan asks
// at every folder entry, far more often than a window needs.
//
// Threads: the user-interface thread only. The windows are not owned; either may be null
// (the scan then only pumps).
#pragma once

#include <chrono>

#include "scan/music_scan.h"

namespace kalvira {

class TfrmSearchDialog;
class TfrmMP3ID3TagByGenreGenerateList;

class TScanWindows : public IScanProgress {
 public:
  static constexpr std::chrono::milliseconds kPumpInterval{25};

  void SetWindows(TfrmSearchDialog* search, TfrmMP3ID3TagByGenreGenerateList* sorting) {
    search_ = search;
    sorting_ = sorting;
  }

  void Pump() override;
  void ShowSearch(ScanKind kind) override;
  void FoundCount(std::size_t count) override;
  void ShowSorting(std::size_t found) override;
  void SortingPosition(std::size_t index) override;
  void Ended() override;

 private:
  void ProcessEvents();

  TfrmSearchDialog* search_ = nullptr;
  TfrmMP3ID3TagByGenreGenerateList* sorting_ = nullptr;
  std::chrono::steady_clock::time_point last_pump_{};
};

}  // namespace kalvira
