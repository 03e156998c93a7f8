#include "scan/tag_prefetch.h"

#include <pthread.h>
#include <sys/stat.h>

#include "scan/file_size.h"
#include "scan/genre_reader.h"
#include "scan/music_scan.h"

namespace kalvira {

bool LargeEnough(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(info.st_size & 0xFFFFFFFF));
  if (low <= kMinimumTrackSize) return false;
  return FileSizeOf(path) > kMinimumTrackSize;
}

TTagPrefetch::TTagPrefetch(const std::vector<std::string>& paths, std::vector<bool> wanted,
                           int threads)
    : paths_(paths), wanted_(std::move(wanted)), results_(paths.size()) {
  workers_.reserve(static_cast<std::size_t>(threads));
  for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

TTagPrefetch::~TTagPrefetch() {
  stop_.store(true);
  for (std::thread& worker : workers_) worker.join();
}

void TTagPrefetch::Work() {
  ::pthread_setname_np(::pthread_self(), "kalvira-scan");
  TGenreReader reader;
  while (!stop_.load()) {
    const std::size_t index = next_.fetch_add(1);
    if (index >= paths_.size()) return;
    Result result;
    if (wanted_[index]) {
      result.large = LargeEnough(paths_[index]);
      if (result.large) result.genre = reader.Read(paths_[index]);
    }
    MutexLock lock(mu_);
    results_[index] = std::move(result);
    ready_cv_.SignalAll();
  }
}

TTagPrefetch::Result TTagPrefetch::Take(std::size_t index, const std::function<void()>& idle,
                                        std::chrono::milliseconds interval) {
  mu_.Lock();
  while (!results_[index]) {
    if (!ready_cv_.WaitFor(mu_, interval) && !results_[index]) {
      mu_.Unlock();
      idle();
      mu_.Lock();
    }
  }
  Result result = std::move(*results_[index]);
  results_[index].reset();
  mu_.Unlock();
  return result;
}

}  // namespace kalvira
