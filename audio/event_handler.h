// The notice dispatcher: one thread per process ("kalvira-notices") that hands the
// engine's progress, done and call notices to the user-interface thread as synchronized
// calls (base/sync_call.h), one at a time, in posting order.
//
// Lifetime: created by the first AcquireDispatcher (each output's construction) and
// destroyed by the ReleaseDispatcher that gives back the last reference (the last output's
// destruction); that release waits for the thread while the calling (user-interface)
// thread keeps running synchronized calls.
//
// Threads: workers post; outputs on the user-interface thread remove, block and wait; the
// dispatcher thread delivers. QueueLock guards the queue, the blocked senders and the
// notice being delivered; it is never held while a handler or a wait runs. Nothing here
// is overridden.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "audio/au_output.h"
#include "base/mutex.h"
#include "base/thread_annotations.h"

namespace kalvira {

class TEventHandler {
 public:
  enum Kind : int { kProgress = 0, kDone = 1, kCall = 2 };

  // Counts kept for tests and diagnostics, per kind.
  struct Counters {
    std::uint64_t posted[3] = {};     // accepted into the queue
    std::uint64_t discarded[3] = {};  // refused: the sender was blocked
    std::uint64_t removed[3] = {};    // taken out again by RemoveNotices
    std::uint64_t delivered[3] = {};  // handed to the user-interface thread
  };

  // The process-wide reference to the single dispatcher.
  static TEventHandler* AcquireDispatcher();
  static void ReleaseDispatcher();
  static int UserCount();
  // True when there is no dispatcher, or it has nothing queued and delivers nothing.
  static bool DispatcherQuiet();
  // The counters of the current dispatcher (zero when there is none).
  static Counters CurrentCounters();

  void PostProgress(TAuOutput* sender, TAuEvent handler) EXCLUDES(queue_lock_);
  void PostCall(TAuOutput* sender, TAuEvent handler) EXCLUDES(queue_lock_);
  void PostDone(TAuOutput* sender, TAuThread* worker) EXCLUDES(queue_lock_);

  // Removes and frees every queued notice of sender.
  void RemoveNotices(TAuOutput* sender) EXCLUDES(queue_lock_);
  // New notices of a blocked sender are refused. Blocks nest: each BlockSender is undone
  // by one UnblockSender of the same sender.
  void BlockSender(TAuOutput* sender) EXCLUDES(queue_lock_);
  void UnblockSender(TAuOutput* sender) EXCLUDES(queue_lock_);
  // User-interface thread: returns once no notice of sender is being delivered, running
  // synchronized calls meanwhile.
  void WaitUntilNotDelivering(TAuOutput* sender) EXCLUDES(queue_lock_);

  std::size_t QueuedCount() const EXCLUDES(queue_lock_);
  Counters GetCounters() const EXCLUDES(queue_lock_);
  // True on the dispatcher thread.
  bool IsCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }
  // True while the calling thread runs a handler of sender.
  static bool InsideHandlerOf(const TAuOutput* sender);

 private:
  struct Notice {
    Kind kind;
    TAuOutput* sender;
    TAuEvent handler;   // kinds 0 and 2: taken when posted; kind 1: OnDone at delivery
    TAuThread* thread;  // kind 1 only
  };

  TEventHandler();
  ~TEventHandler();

  void PostNotice(std::unique_ptr<Notice> notice) EXCLUDES(queue_lock_);
  void Execute();
  void Deliver(Notice& notice);
  // A synchronized call of the notice's handler with its sender.
  void Invoke(Notice& notice) EXCLUDES(queue_lock_);
  void Terminate() EXCLUDES(event_mu_);
  void SetNoticeEvent() EXCLUDES(event_mu_);

  mutable Mutex queue_lock_;  // QueueLock
  std::deque<std::unique_ptr<Notice>> queue_ GUARDED_BY(queue_lock_);
  std::vector<TAuOutput*> blocked_senders_ GUARDED_BY(queue_lock_);
  TAuOutput* current_sender_ GUARDED_BY(queue_lock_) = nullptr;
  Counters counters_ GUARDED_BY(queue_lock_);

  // NoticeEvent ("mainevent"): auto-reset.
  Mutex event_mu_;
  CondVar event_cv_;
  bool notice_event_ GUARDED_BY(event_mu_) = false;

  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};     // the loop has ended
  std::atomic<bool> self_delete_{false};  // detached: frees itself when the loop ends
  std::thread thread_;
};

}  // namespace kalvira
