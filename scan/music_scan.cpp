#include "scan/music_scan.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <exception>
#include <future>
#include <thread>
#include <unordered_set>
#include <utility>

#include "base/text.h"
#include "radio/list_file.h"
#include "radio/radio_core.h"
#include "radio/settings_keys.h"
#include "radio/stations.h"
#include "scan/collect_files.h"
#include "scan/tag_prefetch.h"

namespace kalvira {

namespace {

constexpr std::size_t kAllFmIndex = 3;
// Tags are read ahead on up to this many threads, one per processor.
constexpr unsigned kMaxTagThreads = 4;
// How long the scan waits for a file's tags before it lets the window thread run.
constexpr std::chrono::milliseconds kTagWait{5};
static_assert(stations::kAllFm == kStations[kAllFmIndex].code);

// Runs `on_exit` when the scope is left, unless disarmed.
template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F on_exit) : on_exit_(std::move(on_exit)) {}
  ~ScopeExit() {
    if (armed_) on_exit_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  void Disarm() { armed_ = false; }

 private:
  F on_exit_;
  bool armed_ = true;
};

}  // namespace

std::string AddedMessage(std::size_t count) {
  return std::string(scan_texts::kAddedBefore)
      .append(std::to_string(count))
      .append(scan_texts::kAddedAfter);
}

TMusicScan::TMusicScan(std::string program_dir, const TSettingsFiles& settings, IBeeper& beeper,
                       IMessageBox& message_box, IScanProgress& progress, Options options)
    : program_dir_(std::move(program_dir)),
      settings_(settings),
      beeper_(beeper),
      message_box_(message_box),
      progress_(progress),
      options_(std::move(options)) {}

TMusicScan::TMusicScan(std::string program_dir, const TSettingsFiles& settings, IBeeper& beeper,
                       IMessageBox& message_box, IScanProgress& progress)
    : TMusicScan(std::move(program_dir), settings, beeper, message_box, progress, Options{}) {}

TMusicScan::~TMusicScan() = default;

bool TMusicScan::Run(ScanKind kind) {
  if (running_) return false;
  running_ = true;
  ScopeExit release([this] { running_ = false; });
  ScopeExit close_windows([this] { progress_.Ended(); });
  const bool search = kind == ScanKind::kSearch;
  found_ = 0;
  added_ = 0;

  progress_.ShowSearch(kind);
  progress_.Pump();

  const std::vector<TDrive> drives =
      ReadyDrives(options_.drives ? *options_.drives : SystemDrives(), beeper_);
  progress_.Pump();

  // The five lists in kStations order: ENERGY, ULTRA, POP, ALLFM, CLASSIC.
  std::array<std::vector<std::string>, kStations.size()> lists;
  for (std::size_t s = 0; s < kStations.size(); ++s) {
    if (auto file = TListFile::Read(ListFilePath(program_dir_, kStations[s].scan_file))) {
      lists[s] = file->Entries();
    }
  }
  std::unordered_set<std::string> listed;  // ALLFM, letter case folded
  if (search) {
    listed.reserve(lists[kAllFmIndex].size());
    for (const std::string& path : lists[kAllFmIndex]) listed.insert(FoldCase(path));
  }

  std::vector<std::string> found;
  CollectOptions walk;
  walk.pump = [this] { progress_.Pump(); };
  walk.on_found = [this](std::size_t count) { progress_.FoundCount(count); };
  for (const TDrive& drive : drives) {
    progress_.Pump();
    walk.stay_on_device = drive.stay_on_device;
    CollectFiles(drive.root, scan_texts::kMask, found, true, walk);
  }
  found_ = found.size();

  progress_.ShowSorting(found.size());
  // Files listed already and names that cannot be a line are never looked at.
  std::vector<bool> wanted(found.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    wanted[i] = found[i].find_first_of("\r\n") == std::string::npos &&
                !(search && listed.contains(FoldCase(found[i])));
  }
  const int threads =
      static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, kMaxTagThreads));
  TTagPrefetch prefetch(found, wanted, threads);
  const auto pump = [this] { progress_.Pump(); };
  for (std::size_t i = 0; i < found.size(); ++i) {
    const std::string& path = found[i];
    const TTagPrefetch::Result read = prefetch.Take(i, pump, kTagWait);
    if (!wanted[i] || !read.large) continue;
    std::string folded;
    if (search) {
      folded = FoldCase(path);
      if (listed.contains(folded)) continue;  // found twice in this search
    }
    if (!read.genre) {
      settings_.LogError(std::string(radio_texts::kUnreadableFile).append(QuotedPath(path)));
      continue;
    }
    const std::string station = settings_.ReadGenreStation(*read.genre);
    for (std::size_t s = 0; s < kStations.size(); ++s) {
      if (s != kAllFmIndex && station == kStations[s].genre_value) lists[s].push_back(path);
    }
    ++added_;
    lists[kAllFmIndex].push_back(path);
    if (search) listed.insert(std::move(folded));
    progress_.Pump();
    progress_.SortingPosition(i);
  }

  // Every list is tried, so one refused file costs no other list its new entries. The
  // five replaces run side by side: each waits for its data to reach the disk, and the
  // file system commits such waits together.
  std::array<std::future<void>, kStations.size()> saves;
  for (std::size_t s = 0; s < kStations.size(); ++s) {
    saves[s] = std::async(std::launch::async, [this, s, &lists] {
      WriteListFile(ListFilePath(program_dir_, kStations[s].scan_file), lists[s]);
    });
  }
  std::exception_ptr first_error;
  for (std::future<void>& save : saves) {
    try {
      save.get();
    } catch (...) {
      if (!first_error) first_error = std::current_exception();
    }
  }
  if (first_error) std::rethrow_exception(first_error);
  if (kind == ScanKind::kFirstRun) settings_.WriteConfigValue(settings::kFirstLoaded, "0");

  close_windows.Disarm();
  progress_.Ended();
  if (search) {
    MessageBoxRequest request;
    request.text = AddedMessage(added_);
    request.kind = MessageKind::kInformation;
    request.buttons = MessageButtons::kOkCancel;
    message_box_.Show(request);
  }
  return true;
}

}  // namespace kalvira
