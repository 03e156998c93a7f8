#include "audio/event_handler.h"

#include <pthread.h>

#include <algorithm>
#include <cassert>
#include <utility>

#include "audio/au_thread_name.h"
#include "base/sync_call.h"

namespace kalvira {

namespace {

Mutex g_dispatcher_mu;
TEventHandler* g_dispatcher GUARDED_BY(g_dispatcher_mu) = nullptr;
int g_users GUARDED_BY(g_dispatcher_mu) = 0;

// The output whose handler the current (user-interface) thread is running, if any.
thread_local TAuOutput* t_handler_sender = nullptr;

class HandlerScope {
 public:
  explicit HandlerScope(TAuOutput* sender) : previous_(t_handler_sender) {
    t_handler_sender = sender;
  }
  ~HandlerScope() { t_handler_sender = previous_; }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  TAuOutput* previous_;
};

}  // namespace

TEventHandler* TEventHandler::AcquireDispatcher() {
  MutexLock lock(g_dispatcher_mu);
  if (g_users++ == 0) g_dispatcher = new TEventHandler();
  return g_dispatcher;
}

void TEventHandler::ReleaseDispatcher() {
  TEventHandler* dispatcher = nullptr;
  {
    MutexLock lock(g_dispatcher_mu);
    assert(g_users > 0);
    if (--g_users > 0) return;
    dispatcher = g_dispatcher;
    g_dispatcher = nullptr;
  }
  if (t_handler_sender != nullptr) {
    // The last output went away inside one of its own handlers: the dispatcher is waiting
    // for that very handler, so it cannot be joined here. It ends by itself once the
    // handler has returned and frees itself.
    dispatcher->self_delete_.store(true);
    dispatcher->thread_.detach();
    dispatcher->Terminate();
    return;
  }
  dispatcher->Terminate();
  SyncCallQueue::Instance().WaitWhileRunningCalls(
      [dispatcher] { return dispatcher->finished_.load(); });
  dispatcher->thread_.join();
  delete dispatcher;
}

int TEventHandler::UserCount() {
  MutexLock lock(g_dispatcher_mu);
  return g_users;
}

bool TEventHandler::DispatcherQuiet() {
  MutexLock lock(g_dispatcher_mu);
  if (g_dispatcher == nullptr) return true;
  MutexLock queue(g_dispatcher->queue_lock_);
  return g_dispatcher->queue_.empty() && g_dispatcher->current_sender_ == nullptr;
}

TEventHandler::Counters TEventHandler::CurrentCounters() {
  MutexLock lock(g_dispatcher_mu);
  if (g_dispatcher == nullptr) return Counters{};
  return g_dispatcher->GetCounters();
}

TEventHandler::TEventHandler() : thread_([this] { Execute(); }) {}

TEventHandler::~TEventHandler() {
  if (thread_.joinable()) thread_.join();
}

void TEventHandler::Terminate() {
  terminated_.store(true);
  SetNoticeEvent();
}

void TEventHandler::SetNoticeEvent() {
  {
    MutexLock lock(event_mu_);
    notice_event_ = true;
  }
  event_cv_.SignalAll();
}

void TEventHandler::PostNotice(std::unique_ptr<Notice> notice) {
  {
    MutexLock lock(queue_lock_);
    const int kind = notice->kind;
    if (std::find(blocked_senders_.begin(), blocked_senders_.end(), notice->sender) !=
        blocked_senders_.end()) {
      ++counters_.discarded[kind];
      return;  // the notice is freed here
    }
    ++counters_.posted[kind];
    queue_.push_back(std::move(notice));
  }
  SetNoticeEvent();
}

void TEventHandler::PostProgress(TAuOutput* sender, TAuEvent handler) {
  PostNotice(std::make_unique<Notice>(Notice{kProgress, sender, std::move(handler), nullptr}));
}

void TEventHandler::PostCall(TAuOutput* sender, TAuEvent handler) {
  PostNotice(std::make_unique<Notice>(Notice{kCall, sender, std::move(handler), nullptr}));
}

void TEventHandler::PostDone(TAuOutput* sender, TAuThread* worker) {
  PostNotice(std::make_unique<Notice>(Notice{kDone, sender, TAuEvent(), worker}));
}

void TEventHandler::RemoveNotices(TAuOutput* sender) {
  std::vector<std::unique_ptr<Notice>> removed;
  {
    MutexLock lock(queue_lock_);
    for (auto it = queue_.begin(); it != queue_.end();) {
      if ((*it)->sender == sender) {
        ++counters_.removed[(*it)->kind];
        removed.push_back(std::move(*it));
        it = queue_.erase(it);
      } else {
        ++it;
      }
    }
  }
  // Freed outside the lock: a handler's captures may do anything when destroyed.
}

void TEventHandler::BlockSender(TAuOutput* sender) {
  MutexLock lock(queue_lock_);
  blocked_senders_.push_back(sender);
}

void TEventHandler::UnblockSender(TAuOutput* sender) {
  MutexLock lock(queue_lock_);
  auto it = std::find(blocked_senders_.begin(), blocked_senders_.end(), sender);
  if (it != blocked_senders_.end()) blocked_senders_.erase(it);
}

void TEventHandler::WaitUntilNotDelivering(TAuOutput* sender) {
  // Inside the sender's own handler the dispatcher waits for us; it does not touch the
  // sender again once the handler has returned.
  if (t_handler_sender == sender) return;
  SyncCallQueue::Instance().WaitWhileRunningCalls([this, sender] {
    MutexLock lock(queue_lock_);
    return current_sender_ != sender;
  });
}

std::size_t TEventHandler::QueuedCount() const {
  MutexLock lock(queue_lock_);
  return queue_.size();
}

TEventHandler::Counters TEventHandler::GetCounters() const {
  MutexLock lock(queue_lock_);
  return counters_;
}

bool TEventHandler::InsideHandlerOf(const TAuOutput* sender) {
  return sender != nullptr && t_handler_sender == sender;
}

void TEventHandler::Execute() {
  SetCurrentThreadName("kalvira-notices");
  while (!terminated_.load()) {
    for (;;) {
      std::unique_ptr<Notice> notice;
      {
        MutexLock lock(queue_lock_);
        if (queue_.empty()) break;
        notice = std::move(queue_.front());
        queue_.pop_front();
        current_sender_ = notice->sender;
      }
      Deliver(*notice);
      notice.reset();
      MutexLock lock(queue_lock_);
      current_sender_ = nullptr;
    }
    // Every post and the termination set the event, so there is nothing to look at until
    // one of them does: an idle or playing radio costs the dispatcher no wake-ups.
    MutexLock lock(event_mu_);
    while (!notice_event_) event_cv_.Wait(event_mu_);
    notice_event_ = false;
  }
  if (self_delete_.load()) {
    delete this;  // detached: nobody joins or frees us
    return;
  }
  finished_.store(true);
}

void TEventHandler::Invoke(Notice& notice) {
  {
    MutexLock lock(queue_lock_);
    ++counters_.delivered[notice.kind];
  }
  TAuOutput* sender = notice.sender;
  const TAuEvent& handler = notice.handler;
  SyncCallQueue::Instance().Call([sender, &handler] {
    // An output being destroyed gets no more handlers, even those already on their way.
    if (sender->ShuttingDown()) return;
    HandlerScope scope(sender);
    handler(sender);
  });
  // The sender may be gone from here on (a handler may destroy its own output).
}

void TEventHandler::Deliver(Notice& notice) {
  assert(IsCurrent());
  if (notice.kind != kDone) {
    Invoke(notice);
    return;
  }
  // A done notice waits until the worker is idle: one taken while the worker already runs
  // the next run waits for that run as well, and then stands for its end.
  if (!notice.thread->WaitIdleAndClearBusy()) return;
  RemoveNotices(notice.sender);
  TOutputDoneEvent on_done = notice.sender->OnDone();
  if (on_done && notice.thread->RaiseDone()) {
    notice.handler = std::move(on_done);
    Invoke(notice);
  }
}

}  // namespace kalvira
