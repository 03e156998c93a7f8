// TTagPrefetch: the expensive half of sorting the found files, done ahead on worker
// threads: for each wanted path, the size rule (FileSizeOf above the threshold) and, for
// a file that passes it, its genre through a TGenreReader of the worker's own. The scan
// takes the results in the found list's order on its own thread and does the rest there
// (the GENRES look-up, the lists, the log, the windows), so what it decides is what it
// would decide reading each file itself, in order; it only waits less.
//
// Threads: the constructor starts the workers ("kalvira-scan"), Take is called by the
// thread that made the object, the destructor stops the workers (they finish the file
// at hand) and joins them. Workers touch only their own reader, `paths` (read only) and
// the results, which are guarded by mu_.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/mutex.h"
#include "base/thread_annotations.h"

namespace kalvira {

// FileSizeOf(path) > kMinimumTrackSize, opening only the files stat finds large enough
// (for the others the open could only confirm the size or give -1).
bool LargeEnough(const std::string& path);

class TTagPrefetch {
 public:
  struct Result {
    bool large = false;                // passes the size rule
    std::optional<std::string> genre;  // for a large file: its genre, or nothing (unreadable)
  };

  // `paths` must outlive the object and stay unchanged. `wanted[i]` false: paths[i] is
  // not looked at (its result is the empty Result). `threads` >= 1.
  TTagPrefetch(const std::vector<std::string>& paths, std::vector<bool> wanted, int threads);
  ~TTagPrefetch();
  TTagPrefetch(const TTagPrefetch&) = delete;
  TTagPrefetch& operator=(const TTagPrefetch&) = delete;

  // The result of paths[index], waiting for it; `idle` runs about every `interval` while
  // it waits. Each index is taken at most once.
  Result Take(std::size_t index, const std::function<void()>& idle,
              std::chrono::milliseconds interval);

 private:
  void Work();

  // Constant after construction.
  const std::vector<std::string>& paths_;
  const std::vector<bool> wanted_;

  std::atomic<std::size_t> next_{0};  // the next index a worker claims
  std::atomic<bool> stop_{false};

  Mutex mu_;
  CondVar ready_cv_;
  std::vector<std::optional<Result>> results_ GUARDED_BY(mu_);

  std::vector<std::thread> workers_;  // last: they start once the rest exists
};

}  // namespace kalvira
