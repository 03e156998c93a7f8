#include "audio/au_output.h"

#include <pthread.h>

#include <cassert>
#include <cmath>
#include <exception>

#include "audio/au_exception.h"
#include "audio/au_input.h"
#include "audio/au_thread_name.h"
#include "audio/event_handler.h"
#include "base/sync_call.h"

namespace kalvira {

namespace {

constexpr auto kPauseAckTimeout = std::chrono::milliseconds(5000);
constexpr auto kDispatcherPoll = std::chrono::milliseconds(10);

// Run, Stop, Pause, Resume and the setters belong to the user-interface thread (once one
// is bound); they must never run on the worker, where they would wait for themselves.
void AssertUiThread(const TAuThread& worker) {
  (void)worker;
  assert(!worker.IsCurrent());
  assert(!SyncCallQueue::Instance().HasUiThread() || SyncCallQueue::Instance().IsUiThread());
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TAuThread

TAuThread::TAuThread(TAuOutput* owner) : owner_(owner), thread_([this] { Execute(); }) {}

TAuThread::~TAuThread() {
  Terminate();
  Join();
}

void TAuThread::Execute() {
  SetCurrentThreadName("kalvira-audio-out");
  if (!IdleWait()) return;
  while (!terminated_.load()) {
    owner_->RunOnWorker();
    if (terminated_.load()) break;
    if (!IdleWait()) break;
  }
}

bool TAuThread::IdleWait() {
  MutexLock lock(mu_);
  wake_event_ = false;
  idle_.store(true);
  changed_.SignalAll();
  // A run handed over before the worker got here (the owner is already busy) starts at
  // once: the wake-up that came early is not lost.
  while (!owner_->Busy() && !terminated_.load()) changed_.Wait(mu_);
  wake_event_ = false;
  idle_.store(false);
  changed_.SignalAll();
  return !terminated_.load();
}

void TAuThread::PauseWait() {
  MutexLock lock(mu_);
  wake_event_ = false;
  // A stop that came with (or before) the pause request ends the pause at once.
  if (stop_requested_.load() || terminated_.load()) return;
  paused_.store(true);
  ++pause_entries_;
  pause_ack_event_ = true;
  changed_.SignalAll();
  while (!wake_event_ && !stop_requested_.load() && !terminated_.load()) changed_.Wait(mu_);
  wake_event_ = false;
  paused_.store(false);
  ++pause_exits_;
  changed_.SignalAll();
}

void TAuThread::StartRun() {
  MutexLock lock(mu_);
  owner_->SetBusy();
  stop_requested_.store(false);
  // Requests of an earlier run go; a Pause that comes while this run sets up is kept.
  pause_requested_.store(false);
  paused_.store(false);
  pause_ack_event_ = false;
  wake_event_ = true;
  changed_.SignalAll();
}

void TAuThread::RequestStop(bool raise_done) {
  MutexLock lock(mu_);
  raise_done_.store(raise_done);
  done_posted_.store(false);
  stop_requested_.store(true);
  changed_.SignalAll();
}

bool TAuThread::WaitPauseAck(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  MutexLock lock(mu_);
  while (!pause_ack_event_) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    changed_.WaitFor(mu_, deadline - now);
  }
  pause_ack_event_ = false;
  return true;
}

bool TAuThread::WakeFromPause() {
  MutexLock lock(mu_);
  if (!paused_.load()) return false;
  // Wait for this pause to end, not for the worker to be unpaused: it may pause again at
  // once when another request is pending.
  const std::uint64_t pause = pause_entries_;
  while (pause_exits_ < pause) {
    wake_event_ = true;
    changed_.SignalAll();
    changed_.Wait(mu_);
  }
  return true;
}

bool TAuThread::WaitIdleAndClearBusy() {
  MutexLock lock(mu_);
  while (!(idle_.load() && !owner_->Busy())) {
    if (terminated_.load()) return false;
    changed_.WaitFor(mu_, kDispatcherPoll);
  }
  // Under the state lock no run can be handed over between the test and this store.
  owner_->ClearBusy();
  return true;
}

bool TAuThread::IdleWithoutRun() const {
  MutexLock lock(mu_);
  return idle_.load() && !owner_->Busy();
}

void TAuThread::Terminate() {
  MutexLock lock(mu_);
  terminated_.store(true);
  wake_event_ = true;
  changed_.SignalAll();
}

void TAuThread::Join() {
  if (thread_.joinable()) thread_.join();
}

// ---------------------------------------------------------------------------------------
// TAuOutput

TAuOutput::TAuOutput() : dispatcher_(TEventHandler::AcquireDispatcher()), thread_(this) {}

TAuOutput::~TAuOutput() {
  Shutdown();
}

void TAuOutput::Run() {
  AssertUiThread(thread_);
  AuRecursiveLock lock(run_lock_);
  SetErrorText("");
  if (Busy() || shutting_down_.load()) throw EAuException(au_messages::kComponentIsBusy);
  if (Input() == nullptr) throw EAuException(au_messages::kInputNotAssigned);
  thread_.StartRun();
}

void TAuOutput::Stop(bool async) {
  AssertUiThread(thread_);
  // Without a run there is nothing to stop and nothing to drop: a done notice of a run
  // that already ended by itself still reaches OnDone.
  if (!async && !Busy()) return;
  if (async) {
    thread_.RequestStop(true);
    thread_.WakeFromPause();
    return;
  }
  // Refuse the output's notices before the worker may end the run: a done notice posted
  // between the stop request and the block would otherwise slip through.
  dispatcher_->BlockSender(this);
  dispatcher_->RemoveNotices(this);
  thread_.RequestStop(false);
  thread_.WakeFromPause();
  SyncCallQueue::Instance().WaitWhileRunningCalls(
      [this] { return !Busy() && (thread_.Idle() || thread_.DonePosted()); });
  // A done notice the dispatcher took before the block must see RaiseDone cleared.
  dispatcher_->WaitUntilNotDelivering(this);
  dispatcher_->UnblockSender(this);
  thread_.SetRaiseDone(true);
}

void TAuOutput::Pause() {
  AssertUiThread(thread_);
  TAuInput* input = Input();
  if (input == nullptr) throw EAuException(au_messages::kInputNotAssignedPause);
  if (!Busy()) return;
  thread_.RequestPause();
  thread_.WaitPauseAck(kPauseAckTimeout);
  input->PauseHook();
}

void TAuOutput::Resume() {
  AssertUiThread(thread_);
  if (!Busy() || !thread_.Paused()) return;
  if (TAuInput* input = Input()) input->ResumeHook();
  thread_.WakeFromPause();
}

std::int32_t TAuOutput::Progress() const {
  const TAuInput* input = Input();
  if (input == nullptr) return 0;
  const std::int64_t size = input->Size();
  if (size < 0) return -1;
  if (size == 0) return 0;
  const double percent = static_cast<double>(input->Position()) / static_cast<double>(size) * 100.0;
  return static_cast<std::int32_t>(std::nearbyint(percent));
}

std::string TAuOutput::ErrorText() const {
  MutexLock lock(state_mu_);
  return error_text_;
}

void TAuOutput::SetErrorText(const std::string& text) {
  MutexLock lock(state_mu_);
  error_text_ = text;
}

void TAuOutput::SetInput(TAuInput* input) {
  AssertUiThread(thread_);
  TAuInput* old = Input();
  const bool restart = Busy();
  if (restart) Stop(false);
  if (old != nullptr) old->RemoveOutput(this);
  input_.store(input);
  if (input != nullptr) input->AddOutput(this);
  // Without an input there is nothing to restart (Run would only raise).
  if (restart && input != nullptr && !shutting_down_.load()) Run();
}

void TAuOutput::InputRemoved(TAuInput* input) {
  if (Input() == input) SetInput(nullptr);
}

void TAuOutput::SetOnDone(TOutputDoneEvent handler) {
  MutexLock lock(state_mu_);
  on_done_ = std::move(handler);
}

void TAuOutput::SetOnProgress(TOutputProgressEvent handler) {
  MutexLock lock(state_mu_);
  on_progress_ = std::move(handler);
}

void TAuOutput::SetOnThreadException(TThreadExceptionEvent handler) {
  MutexLock lock(state_mu_);
  on_thread_exception_ = std::move(handler);
}

TOutputDoneEvent TAuOutput::OnDone() const {
  MutexLock lock(state_mu_);
  return on_done_;
}

TOutputProgressEvent TAuOutput::OnProgress() const {
  MutexLock lock(state_mu_);
  return on_progress_;
}

TThreadExceptionEvent TAuOutput::OnThreadException() const {
  MutexLock lock(state_mu_);
  return on_thread_exception_;
}

void TAuOutput::PostCall(const TAuEvent& handler) {
  dispatcher_->PostCall(this, handler);
}

void TAuOutput::RunOnWorker() {
  assert(thread_.IsCurrent());
  try {
    Setup();
    can_output_.store(true);
    bool more = true;
    while (more && !thread_.StopRequested()) {
      const std::int32_t progress = Progress();
      if (progress != last_progress_) {
        last_progress_ = progress;
        if (TOutputProgressEvent handler = OnProgress()) {
          dispatcher_->PostProgress(this, std::move(handler));
        }
      }
      if (thread_.PauseRequested()) {
        thread_.ClearPauseRequest();
        thread_.PauseWait();
      }
      more = Step(thread_.StopRequested());
    }
  } catch (const std::exception& e) {
    SetErrorText(e.what());
    if (TThreadExceptionEvent handler = OnThreadException()) PostCall(handler);
    thread_.SetStopRequested();
  } catch (...) {
    SetErrorText("Unknown error");
    if (TThreadExceptionEvent handler = OnThreadException()) PostCall(handler);
    thread_.SetStopRequested();
  }
  thread_.ClearStopRequest();
  try {
    FinishRun();
  } catch (...) {
    ClearBusy();
  }
  dispatcher_->PostDone(this, &thread_);
  thread_.SetDonePosted();
}

void TAuOutput::FinishRun() {
  if (!Busy()) return;
  can_output_.store(false);
  Teardown();
  ClearBusy();
}

void TAuOutput::Shutdown() {
  if (shut_down_.exchange(true)) return;
  AssertUiThread(thread_);
  shutting_down_.store(true);
  dispatcher_->BlockSender(this);
  dispatcher_->RemoveNotices(this);
  // Stop any run without a done notice, as Stop (false) does, whether or not one is in
  // progress: a notice already queued goes with the output.
  if (Busy()) {
    thread_.RequestStop(false);
    thread_.WakeFromPause();
    SyncCallQueue::Instance().WaitWhileRunningCalls(
        [this] { return !Busy() && (thread_.Idle() || thread_.DonePosted()); });
  } else {
    thread_.SetRaiseDone(false);
  }
  dispatcher_->RemoveNotices(this);
  // The dispatcher may still be delivering a notice it took before the block.
  dispatcher_->WaitUntilNotDelivering(this);
  thread_.Terminate();
  thread_.Join();
  if (TAuInput* input = Input()) input->RemoveOutput(this);
  input_.store(nullptr);
  dispatcher_->RemoveNotices(this);
  dispatcher_->UnblockSender(this);
  TEventHandler::ReleaseDispatcher();
}

}  // namespace kalvira
