#include "base/sync_call.h"

#include <iostream>
#include <utility>

namespace kalvira {

SyncCallQueue& SyncCallQueue::Instance() {
  static SyncCallQueue queue;
  return queue;
}

void SyncCallQueue::BindUiThread() {
  MutexLock lock(mu_);
  ui_thread_ = std::this_thread::get_id();
}

bool SyncCallQueue::IsUiThread() const {
  MutexLock lock(mu_);
  return ui_thread_ == std::this_thread::get_id();
}

bool SyncCallQueue::HasUiThread() const {
  MutexLock lock(mu_);
  return ui_thread_ != std::thread::id();
}

void SyncCallQueue::Call(std::function<void()> call) {
  if (IsUiThread()) {
    try {
      call();
    } catch (...) {
      Report(std::current_exception());
    }
    return;
  }
  Entry entry{std::move(call), false};
  std::function<void()> wake_up;
  {
    MutexLock lock(mu_);
    queue_.push_back(&entry);
    wake_up = wake_up_;
  }
  arrived_.SignalAll();
  if (wake_up) wake_up();
  MutexLock lock(mu_);
  while (!entry.done) finished_.Wait(mu_);
}

std::size_t SyncCallQueue::RunPending() {
  std::size_t count = 0;
  for (;;) {
    Entry* entry = nullptr;
    {
      MutexLock lock(mu_);
      if (queue_.empty()) break;
      entry = queue_.front();
      queue_.pop_front();
    }
    try {
      entry->call();
    } catch (...) {
      Report(std::current_exception());
    }
    ++count;
    {
      MutexLock lock(mu_);
      entry->done = true;  // the caller may free the entry from here on
    }
    finished_.SignalAll();
  }
  return count;
}

void SyncCallQueue::WaitWhileRunningCalls(const std::function<bool()>& done,
                                          std::chrono::microseconds poll) {
  for (;;) {
    RunPending();
    if (done()) return;
    MutexLock lock(mu_);
    if (queue_.empty()) arrived_.WaitFor(mu_, poll);
  }
}

std::size_t SyncCallQueue::PendingCount() const {
  MutexLock lock(mu_);
  return queue_.size();
}

void SyncCallQueue::SetWakeUp(std::function<void()> wake_up) {
  MutexLock lock(mu_);
  wake_up_ = std::move(wake_up);
}

void SyncCallQueue::SetErrorReporter(ErrorReporter reporter) {
  MutexLock lock(mu_);
  reporter_ = std::move(reporter);
}

void SyncCallQueue::Report(std::exception_ptr error) {
  ErrorReporter reporter;
  {
    MutexLock lock(mu_);
    reporter = reporter_;
  }
  if (reporter) {
    reporter(error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::cerr << "kalvira: unhandled error in a synchronized call: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "kalvira: unhandled error in a synchronized call\n";
  }
}

}  // namespace kalvira
