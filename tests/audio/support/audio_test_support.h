// Stand-ins for the audio engine's tests: a simulated decoder input that produces a known
// byte pattern of a chosen format and length (and fails on request), a simulated output
// whose Steps consume the input at a pace the test sets, and the user-interface side of
// the synchronized calls (the test thread plays the user-interface thread).
//
// Threads: SimInput's hooks run where the engine calls them (worker or test thread);
// SimOutput's Setup/Step/Teardown run on its worker; every other method is for the test
// thread. Counters are safe to read from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/au_exception.h"
#include "audio/au_input.h"
#include "audio/au_output.h"
#include "base/mutex.h"

namespace kalvira::testing {

// The message of the EAuException that `f` raises, or "<nothing raised>".
template <class F>
std::string RaisedMessage(F&& f) {
  try {
    f();
  } catch (const EAuException& e) {
    return e.Message();
  }
  return "<nothing raised>";
}

// The byte the simulated decoder delivers at `offset` of its data. 251 is prime, so the
// pattern never lines up with a frame size and a misplaced byte shows.
inline std::uint8_t PatternByte(std::int64_t offset) {
  return static_cast<std::uint8_t>(offset % 251);
}
// `count` pattern bytes from `offset`.
std::string PatternBytes(std::int64_t offset, std::int64_t count);

struct SimInputOptions {
  std::uint32_t bits_per_sample = 16;
  std::uint32_t sample_rate = 8000;
  std::uint32_t channels = 2;
  std::int64_t data_bytes = 32000;  // what the decoder delivers before its end
  std::int64_t declared_size = -2;  // Size set at open; -2: data_bytes
  std::uint32_t max_chunk = 4096;   // most bytes one ReadCore hands out
  bool seekable = true;
  bool fail_open = false;   // OpenFileCore raises
  int fail_at_read = 0;     // the n-th ReadCore (1-based) raises; 0: never
  bool fail_seek = false;   // SeekCore raises
  bool fail_close = false;  // CloseFileCore raises
};

inline constexpr const char* kSimOpenError = "simulated open failure";
inline constexpr const char* kSimReadError = "simulated read failure";

class SimInput : public TAuTaggedFileIn {
 public:
  explicit SimInput(SimInputOptions options = {});
  ~SimInput() override;

  // Takes effect at the next open (format, size) or call (failures).
  void SetOptions(const SimInputOptions& options) EXCLUDES(options_mu_);
  SimInputOptions Options() const EXCLUDES(options_mu_);

  // While held, ReadCore waits (after counting itself in ReadsWaiting) until released.
  void HoldReads(bool hold) EXCLUDES(hold_mu_);
  int ReadsWaiting() const { return reads_waiting_.load(); }

  int Opens() const { return opens_.load(); }
  int Closes() const { return closes_.load(); }
  int Reads() const { return reads_.load(); }
  int Seeks() const { return seeks_.load(); }
  int PauseHooks() const { return pause_hooks_.load(); }
  int ResumeHooks() const { return resume_hooks_.load(); }
  void PauseHook() override { ++pause_hooks_; }
  void ResumeHook() override { ++resume_hooks_; }
  std::int64_t DecoderOffset() const { return offset_.load(); }
  void SetSeekableFlag(bool seekable) { SetSeekable(seekable); }

 protected:
  void OpenFileCore() override;
  void CloseFileCore() override;
  void ReadCore(const std::uint8_t*& data, std::uint32_t& bytes) override;
  bool SeekCore(std::int64_t sample) override;

 private:
  mutable Mutex options_mu_;
  SimInputOptions options_ GUARDED_BY(options_mu_);
  Mutex hold_mu_;
  CondVar hold_cv_;
  bool hold_ GUARDED_BY(hold_mu_) = false;

  std::vector<std::uint8_t> chunk_;  // the "decoder's current sample" (under DataLock)
  std::atomic<std::int64_t> offset_{0};
  std::atomic<int> opens_{0}, closes_{0}, reads_{0}, seeks_{0}, reads_waiting_{0};
  std::atomic<int> reads_this_open_{0};
  std::atomic<int> pause_hooks_{0}, resume_hooks_{0};
};

inline constexpr const char* kSimSetupError = "simulated setup failure";
inline constexpr const char* kSimStepError = "simulated step failure";
inline constexpr const char* kSimTeardownError = "simulated teardown failure";

// A TAuOutput over no device. Setup starts the input, each Step reads up to step_bytes
// with ReadFully and returns false at the input's end, Teardown finishes the input.
// Paced: a Step consumes data only with a permit (AllowSteps) unless free-running; a Step
// waiting for a permit ends its wait (consuming nothing) when a stop or pause is pending.
class SimOutput : public TAuOutput {
 public:
  explicit SimOutput(std::uint32_t step_bytes = 1024);
  ~SimOutput() override;

  void SetFreeRunning(bool free_running) EXCLUDES(mu_);
  void AllowSteps(int count) EXCLUDES(mu_);
  // Drops the permits not used yet (call while idle, before a Run).
  void ResetPermits() EXCLUDES(mu_);
  // True while a Step waits for a permit.
  bool StepWaiting() const { return step_waiting_.load(); }
  // Keep everything consumed (ConsumedData) for byte checks.
  void SetRecordData(bool record) EXCLUDES(mu_);

  void SetFailSetup(bool fail) { fail_setup_.store(fail); }
  void SetFailStepAt(int step) { fail_step_at_.store(step); }  // n-th Step of a run raises
  void SetFailTeardown(bool fail) { fail_teardown_.store(fail); }
  // While held, Teardown waits (TeardownWaiting true) until released.
  void HoldTeardown(bool hold) EXCLUDES(mu_);
  bool TeardownWaiting() const { return teardown_waiting_.load(); }

  int Setups() const { return setups_.load(); }
  int Steps() const { return steps_.load(); }
  int AbortedSteps() const { return aborted_steps_.load(); }
  int Teardowns() const { return teardowns_.load(); }
  std::int64_t ConsumedBytes() const { return consumed_.load(); }
  std::string ConsumedData() const EXCLUDES(mu_);
  // Output state observed by the worker at each Step (for thread checks).
  bool AllHooksOnWorker() const { return hooks_on_worker_.load(); }

  using TAuOutput::Shutdown;

 protected:
  void Setup() override;
  bool Step(bool abort) override;
  void Teardown() override;

 private:
  const std::uint32_t step_bytes_;
  mutable Mutex mu_;
  CondVar cv_;
  bool free_running_ GUARDED_BY(mu_) = false;
  int permits_ GUARDED_BY(mu_) = 0;
  bool record_ GUARDED_BY(mu_) = false;
  bool hold_teardown_ GUARDED_BY(mu_) = false;
  std::string recorded_ GUARDED_BY(mu_);

  std::vector<std::uint8_t> buffer_;  // worker only
  bool input_started_ = false;        // worker only
  int run_steps_ = 0;                 // worker only

  std::atomic<bool> step_waiting_{false}, teardown_waiting_{false};
  std::atomic<bool> fail_setup_{false}, fail_teardown_{false};
  std::atomic<int> fail_step_at_{0};
  std::atomic<int> setups_{0}, steps_{0}, aborted_steps_{0}, teardowns_{0};
  std::atomic<std::int64_t> consumed_{0};
  std::atomic<bool> hooks_on_worker_{true};
};

// The test thread as the user-interface thread: binds it for the synchronized calls.
void BindTestThreadAsUi();
// Runs waiting synchronized calls until `condition` holds or `deadline` passes; returns
// the condition's last value.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(30));
// Runs the calls waiting now; returns how many ran.
std::size_t PumpPending();
// Pumps until the dispatcher has nothing queued and delivers nothing (every notice posted
// so far has been handled or dropped).
bool PumpUntilDispatcherQuiet(std::chrono::milliseconds deadline = std::chrono::seconds(30));

}  // namespace kalvira::testing
