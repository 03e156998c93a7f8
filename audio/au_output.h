// The output side of the audio engine: an abstract sink that owns a worker thread, and
// that worker (TAuThread). Start here to follow a run.
//
// A run: the user-interface thread calls Run; the worker ("kalvira-audio-out") calls
// Setup, then Step again and again until Step returns false or a stop is requested, then
// Teardown; it marks the output idle and posts a done notice, which the notice dispatcher
// (event_handler.h) delivers to OnDone on the user-interface thread once the worker is
// idle. Errors raised by Setup or Step end the run: ErrorText holds the message,
// OnThreadException is raised when assigned, Teardown runs and OnDone follows.
//
// What a concrete output overrides:
//   Setup()          worker thread: starts the input (Input()->BeginRun()) and the device.
//   Step(abort)      worker thread: moves the next portion of data; returns true while
//                    there is more to do; with abort true silences the device and returns
//                    false. A Step that waits may end its wait early when StopPending()
//                    or PausePending() becomes true.
//   Teardown()       worker thread: releases the device and finishes the input
//                    (Input()->EndRun() when its BeginRun succeeded, otherwise
//                    Input()->EndUnstartedRun()).
//   Pause()/Resume() user-interface thread; an override calls TAuOutput::Pause() first and
//                    TAuOutput::Resume() last.
// The most-derived destructor must call Shutdown() first, so that the worker never calls
// the hooks of a half-destroyed object.
//
// Threads: Run, Stop, Pause, Resume, SetInput and the handler setters are for the
// user-interface thread (the one bound in SyncCallQueue); every handler runs there.
// Lock order: RunLock, then the worker's state lock; the handler lock is a leaf. No output
// lock is held while an input lock is taken or a handler runs.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "audio/au_lock.h"
#include "base/mutex.h"
#include "base/thread_annotations.h"

namespace kalvira {

class TAuInput;
class TAuOutput;
class TEventHandler;

// Every engine event: a handler that takes the component that raises it.
using TAuEvent = std::function<void(TAuOutput* sender)>;
using TOutputDoneEvent = TAuEvent;
using TOutputProgressEvent = TAuEvent;
using TThreadExceptionEvent = TAuEvent;
using TUnderrunEvent = TAuEvent;

// The worker thread of one output. Created and started by the output's constructor,
// terminated and joined by its Shutdown. The flags are single-byte atomics written by one
// thread and polled by others; the events (WakeEvent, PauseAckEvent) and the hand-over of
// a run live under the state lock, so no wake-up is lost.
class TAuThread {
 public:
  explicit TAuThread(TAuOutput* owner);
  ~TAuThread();
  TAuThread(const TAuThread&) = delete;
  TAuThread& operator=(const TAuThread&) = delete;

  TAuOutput* Owner() const { return owner_; }
  bool Idle() const { return idle_.load(); }
  bool Paused() const { return paused_.load(); }
  bool StopRequested() const { return stop_requested_.load(); }
  bool PauseRequested() const { return pause_requested_.load(); }
  bool RaiseDone() const { return raise_done_.load(); }
  bool DonePosted() const { return done_posted_.load(); }
  // True on this worker thread.
  bool IsCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

  // True when the worker is idle and no run has been handed to it.
  bool IdleWithoutRun() const EXCLUDES(mu_);

 private:
  // The run control below belongs to the engine: the output drives it, the dispatcher
  // waits on it.
  friend class TAuOutput;
  friend class TEventHandler;

  // Hands a run to the worker: sets the owner's Busy, clears StopRequested,
  // PauseRequested, Paused and PauseAckEvent, and sets WakeEvent, all under the state lock.
  void StartRun() EXCLUDES(mu_);
  void RequestStop(bool raise_done) EXCLUDES(mu_);
  void SetRaiseDone(bool raise_done) { raise_done_.store(raise_done); }
  void RequestPause() { pause_requested_.store(true); }
  void ClearPauseRequest() { pause_requested_.store(false); }
  void SetStopRequested() { stop_requested_.store(true); }
  void ClearStopRequest() { stop_requested_.store(false); }
  void SetDonePosted() { done_posted_.store(true); }

  // Waits up to `timeout` for PauseAckEvent (auto-reset); false on time-out.
  bool WaitPauseAck(std::chrono::milliseconds timeout) EXCLUDES(mu_);
  // Sets WakeEvent if the worker is in its pause wait; true when it was.
  bool WakeFromPause() EXCLUDES(mu_);
  // Dispatcher: waits until the worker is idle with no run handed over, then clears the
  // owner's Busy. Returns false if the worker is terminating.
  bool WaitIdleAndClearBusy() EXCLUDES(mu_);
  void Terminate() EXCLUDES(mu_);
  void Join();
  // Worker: the pause wait (returns at once when a stop is pending).
  void PauseWait() EXCLUDES(mu_);

  void Execute();
  // Returns false when told to terminate.
  bool IdleWait() EXCLUDES(mu_);

  TAuOutput* const owner_;

  mutable Mutex mu_;
  CondVar changed_;
  bool wake_event_ GUARDED_BY(mu_) = false;
  bool pause_ack_event_ GUARDED_BY(mu_) = false;
  std::uint64_t pause_entries_ GUARDED_BY(mu_) = 0;  // pause waits begun
  std::uint64_t pause_exits_ GUARDED_BY(mu_) = 0;    // pause waits ended

  // Written under mu_ where a waiter depends on them (idle_, paused_, stop_requested_ and
  // the owner's Busy at hand-over); polled without it.
  std::atomic<bool> idle_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> pause_requested_{false};
  std::atomic<bool> raise_done_{true};
  std::atomic<bool> done_posted_{false};
  std::atomic<bool> terminated_{false};

  std::thread thread_;  // last: starts once every field above exists
};

class TAuOutput {
 public:
  TAuOutput();
  virtual ~TAuOutput();
  TAuOutput(const TAuOutput&) = delete;
  TAuOutput& operator=(const TAuOutput&) = delete;

  // Starts a run: hands it to the worker and returns at once (the worker starts it as soon
  // as it is idle; nothing waits for the input or the device). Raises EAuException
  // "Component is Busy" while a run is in progress (or the output is being destroyed),
  // "Input is not assigned" without an input.
  void Run();
  // Ends the current run. async: returns at once and the run's OnDone follows. Not async:
  // returns when the worker has finished the run; that run raises no OnDone and the
  // output's queued notices are dropped. Without a run in progress it changes nothing.
  void Stop(bool async = true);
  // Returns when the worker has entered its pause wait, or after 5 s at most; at once when
  // no run is in progress. Raises "Input is not assigned." without an input.
  virtual void Pause();
  // Lets a paused run go on; returns when the worker has left its pause wait.
  virtual void Resume();
  // Share of the input's Size delivered so far, in percent (-1 when the size is unknown).
  std::int32_t Progress() const;

  bool Busy() const { return busy_.load(); }
  std::string ErrorText() const EXCLUDES(state_mu_);

  TAuInput* Input() const { return input_.load(); }
  // While a run is in progress: Stop(false), store the input, Run (unless it is none).
  virtual void SetInput(TAuInput* input);

  void SetOnDone(TOutputDoneEvent handler) EXCLUDES(state_mu_);
  void SetOnProgress(TOutputProgressEvent handler) EXCLUDES(state_mu_);
  void SetOnThreadException(TThreadExceptionEvent handler) EXCLUDES(state_mu_);
  TOutputDoneEvent OnDone() const EXCLUDES(state_mu_);
  TOutputProgressEvent OnProgress() const EXCLUDES(state_mu_);
  TThreadExceptionEvent OnThreadException() const EXCLUDES(state_mu_);

  TAuThread& Thread() { return thread_; }
  const TAuThread& Thread() const { return thread_; }

  // Called by an input that goes away: Input becomes none as if assigned.
  void InputRemoved(TAuInput* input);

 protected:
  virtual void Setup() = 0;
  virtual bool Step(bool abort) = 0;
  virtual void Teardown() = 0;

  // Stops any run for good, drops the output's notices, ends the worker. Idempotent; the
  // most-derived destructor calls it first.
  void Shutdown();

  // Worker thread.
  bool CanOutput() const { return can_output_.load(); }
  void SetCanOutput(bool can_output) { can_output_.store(can_output); }
  void SetErrorText(const std::string& text) EXCLUDES(state_mu_);
  // Posts a call of `handler` with this output to the user-interface thread.
  void PostCall(const TAuEvent& handler);
  bool StopPending() const { return thread_.StopRequested(); }
  bool PausePending() const { return thread_.PauseRequested(); }
  bool ShuttingDown() const { return shutting_down_.load(); }

 private:
  friend class TAuThread;
  friend class TEventHandler;

  // The worker's run, from Setup to the done notice.
  void RunOnWorker();
  void FinishRun();
  void ClearBusy() { busy_.store(false); }
  void SetBusy() { busy_.store(true); }

  AuRecursiveMutex run_lock_;  // RunLock: serializes Run
  mutable Mutex state_mu_;     // handlers and ErrorText
  TOutputDoneEvent on_done_ GUARDED_BY(state_mu_);
  TOutputProgressEvent on_progress_ GUARDED_BY(state_mu_);
  TThreadExceptionEvent on_thread_exception_ GUARDED_BY(state_mu_);
  std::string error_text_ GUARDED_BY(state_mu_);

  std::atomic<TAuInput*> input_{nullptr};
  std::atomic<bool> busy_{false};
  std::atomic<bool> can_output_{false};
  std::atomic<bool> shutting_down_{false};
  std::atomic<bool> shut_down_{false};
  std::int32_t last_progress_ = 0;  // worker thread only

  TEventHandler* dispatcher_;  // the process's dispatcher, held from construction
  TAuThread thread_;           // last: the worker starts once the output's fields exist
};

}  // namespace kalvira
