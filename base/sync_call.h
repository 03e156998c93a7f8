// The synchronized call: another thread hands a call to the user-interface thread and
// waits until that thread has run it.
//
// Threads. There is one queue per process (SyncCallQueue::Instance()). Any thread may
// Call(); the user-interface thread runs the waiting calls whenever it processes its
// messages (RunPending), and keeps running them while it waits for engine threads
// (WaitWhileRunningCalls), so a thread blocked in Call() can never deadlock a user-interface
// thread that waits for it. A call made on the user-interface thread itself runs at once.
//
// The user-interface thread is the one that called BindUiThread() last; in tests the test
// thread binds itself and drains the queue by hand. The toolkit installs a wake-up hook
// (SetWakeUp) that nudges its event loop when a call arrives; the hook runs on the calling
// thread and must only post, never run the call itself.
//
// An exception thrown by a call ends that call only: it goes to the error reporter
// (SetErrorReporter; by default written to standard error) on the user-interface thread,
// the waiting thread resumes as if the call had returned, and later calls run as usual.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <thread>

#include "base/mutex.h"
#include "base/thread_annotations.h"

namespace kalvira {

class SyncCallQueue {
 public:
  using ErrorReporter = std::function<void(std::exception_ptr)>;

  // The process-wide queue.
  static SyncCallQueue& Instance();

  SyncCallQueue() = default;
  SyncCallQueue(const SyncCallQueue&) = delete;
  SyncCallQueue& operator=(const SyncCallQueue&) = delete;

  // Makes the calling thread the user-interface thread.
  void BindUiThread() EXCLUDES(mu_);
  // True on the bound user-interface thread (false while none is bound).
  bool IsUiThread() const EXCLUDES(mu_);
  // True once a user-interface thread is bound.
  bool HasUiThread() const EXCLUDES(mu_);

  // Any thread: runs `call` on the user-interface thread and returns after it has run.
  // On the user-interface thread (or when the caller is it) the call runs at once.
  void Call(std::function<void()> call) EXCLUDES(mu_);

  // User-interface thread: runs every call waiting now (and those that arrive while it
  // runs them); returns how many ran.
  std::size_t RunPending() EXCLUDES(mu_);

  // User-interface thread: returns once `done` holds, running waiting calls meanwhile.
  // `done` is polled after every batch of calls and at least every `poll` otherwise.
  void WaitWhileRunningCalls(const std::function<bool()>& done,
                             std::chrono::microseconds poll = std::chrono::microseconds(500))
      EXCLUDES(mu_);

  // Number of calls waiting for the user-interface thread.
  std::size_t PendingCount() const EXCLUDES(mu_);

  void SetWakeUp(std::function<void()> wake_up) EXCLUDES(mu_);
  void SetErrorReporter(ErrorReporter reporter) EXCLUDES(mu_);

 private:
  struct Entry {
    std::function<void()> call;
    bool done = false;
  };

  void Report(std::exception_ptr error) EXCLUDES(mu_);

  mutable Mutex mu_;
  CondVar arrived_;   // a call was queued (wakes WaitWhileRunningCalls)
  CondVar finished_;  // a call has run (wakes the threads blocked in Call)
  std::deque<Entry*> queue_ GUARDED_BY(mu_);
  std::thread::id ui_thread_ GUARDED_BY(mu_);
  std::function<void()> wake_up_ GUARDED_BY(mu_);
  ErrorReporter reporter_ GUARDED_BY(mu_);
};

}  // namespace kalvira
