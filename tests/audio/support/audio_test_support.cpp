#include "tests/audio/support/audio_test_support.h"

#include <algorithm>
#include <stdexcept>

#include "audio/au_exception.h"
#include "audio/event_handler.h"
#include "base/sync_call.h"

namespace kalvira::testing {

std::string PatternBytes(std::int64_t offset, std::int64_t count) {
  std::string out;
  out.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i)
    out.push_back(static_cast<char>(PatternByte(offset + i)));
  return out;
}

// ---------------------------------------------------------------------------------------
// SimInput

SimInput::SimInput(SimInputOptions options) : options_(options) {
  SetFileName("simulated.pcm");
  SetSeekable(options.seekable);
}

SimInput::~SimInput() {
  ShutdownInput();
}

void SimInput::SetOptions(const SimInputOptions& options) {
  {
    MutexLock lock(options_mu_);
    options_ = options;
  }
  SetSeekable(options.seekable);
}

SimInputOptions SimInput::Options() const {
  MutexLock lock(options_mu_);
  return options_;
}

void SimInput::HoldReads(bool hold) {
  {
    MutexLock lock(hold_mu_);
    hold_ = hold;
  }
  hold_cv_.SignalAll();
}

void SimInput::OpenFileCore() {
  const SimInputOptions options = Options();
  if (options.fail_open) throw EAuException(kSimOpenError);
  ++opens_;
  SetFormat(options.bits_per_sample, options.sample_rate, options.channels);
  SetSize(options.declared_size == -2 ? options.data_bytes : options.declared_size);
  offset_.store(0);
  reads_this_open_.store(0);
}

void SimInput::CloseFileCore() {
  ++closes_;
  if (Options().fail_close) throw EAuException("simulated close failure");
}

void SimInput::ReadCore(const std::uint8_t*& data, std::uint32_t& bytes) {
  const SimInputOptions options = Options();
  ++reads_;
  {
    MutexLock lock(hold_mu_);
    if (hold_) {
      ++reads_waiting_;
      while (hold_) hold_cv_.Wait(hold_mu_);
      --reads_waiting_;
    }
  }
  if (options.fail_at_read > 0 && ++reads_this_open_ == options.fail_at_read) {
    throw EAuException(kSimReadError);
  }
  const std::int64_t offset = offset_.load();
  const std::int64_t left = std::max<std::int64_t>(0, options.data_bytes - offset);
  const auto n = static_cast<std::uint32_t>(
      std::min<std::int64_t>({static_cast<std::int64_t>(bytes), options.max_chunk, left}));
  if (chunk_.size() < n) chunk_.resize(n);
  for (std::uint32_t i = 0; i < n; ++i) chunk_[i] = PatternByte(offset + i);
  offset_.store(offset + n);
  data = n > 0 ? chunk_.data() : nullptr;
  bytes = n;
}

bool SimInput::SeekCore(std::int64_t sample) {
  const SimInputOptions options = Options();
  ++seeks_;
  if (options.fail_seek) throw EAuException("simulated seek failure");
  const std::int64_t frame = options.channels * options.bits_per_sample / 8;
  const std::int64_t offset = sample * frame;
  if (offset < 0 || offset > options.data_bytes) return false;
  offset_.store(offset);
  return true;
}

// ---------------------------------------------------------------------------------------
// SimOutput

SimOutput::SimOutput(std::uint32_t step_bytes) : step_bytes_(step_bytes) {}

SimOutput::~SimOutput() {
  Shutdown();
}

void SimOutput::SetFreeRunning(bool free_running) {
  {
    MutexLock lock(mu_);
    free_running_ = free_running;
  }
  cv_.SignalAll();
}

void SimOutput::AllowSteps(int count) {
  {
    MutexLock lock(mu_);
    permits_ += count;
  }
  cv_.SignalAll();
}

void SimOutput::ResetPermits() {
  MutexLock lock(mu_);
  permits_ = 0;
}

void SimOutput::SetRecordData(bool record) {
  MutexLock lock(mu_);
  record_ = record;
  recorded_.clear();
}

void SimOutput::HoldTeardown(bool hold) {
  {
    MutexLock lock(mu_);
    hold_teardown_ = hold;
  }
  cv_.SignalAll();
}

std::string SimOutput::ConsumedData() const {
  MutexLock lock(mu_);
  return recorded_;
}

void SimOutput::Setup() {
  if (!Thread().IsCurrent()) hooks_on_worker_.store(false);
  ++setups_;
  run_steps_ = 0;
  input_started_ = false;
  if (fail_setup_.load()) throw EAuException(kSimSetupError);
  if (buffer_.size() < step_bytes_) buffer_.resize(step_bytes_);
  Input()->BeginRun();
  input_started_ = true;
}

bool SimOutput::Step(bool abort) {
  if (!Thread().IsCurrent()) hooks_on_worker_.store(false);
  ++steps_;
  if (abort) {
    ++aborted_steps_;
    return false;
  }
  if (fail_step_at_.load() > 0 && ++run_steps_ == fail_step_at_.load()) {
    throw EAuException(kSimStepError);
  }
  {
    MutexLock lock(mu_);
    // Poll the engine's flags now and then: they are not tied to this lock.
    while (!free_running_ && permits_ == 0) {
      if (StopPending() || PausePending()) {
        step_waiting_.store(false);
        return true;
      }
      step_waiting_.store(true);
      cv_.WaitFor(mu_, std::chrono::milliseconds(2));
    }
    step_waiting_.store(false);
    if (!free_running_) --permits_;
  }
  bool eof = false;
  const std::uint32_t n = Input()->ReadFully(buffer_.data(), step_bytes_, eof);
  consumed_.fetch_add(n);
  {
    MutexLock lock(mu_);
    if (record_) recorded_.append(reinterpret_cast<const char*>(buffer_.data()), n);
  }
  return !eof;
}

void SimOutput::Teardown() {
  if (!Thread().IsCurrent()) hooks_on_worker_.store(false);
  ++teardowns_;
  {
    MutexLock lock(mu_);
    while (hold_teardown_) {
      teardown_waiting_.store(true);
      cv_.Wait(mu_);
    }
    teardown_waiting_.store(false);
  }
  if (input_started_) {
    input_started_ = false;
    Input()->EndRun();
  }
  if (fail_teardown_.load()) throw EAuException(kSimTeardownError);
}

// ---------------------------------------------------------------------------------------
// The user-interface side

void BindTestThreadAsUi() {
  SyncCallQueue::Instance().BindUiThread();
}

std::size_t PumpPending() {
  return SyncCallQueue::Instance().RunPending();
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  bool result = false;
  SyncCallQueue::Instance().WaitWhileRunningCalls([&] {
    result = condition();
    return result || std::chrono::steady_clock::now() >= end;
  });
  return result;
}

bool PumpUntilDispatcherQuiet(std::chrono::milliseconds deadline) {
  return PumpUntil([] { return TEventHandler::DispatcherQuiet(); }, deadline);
}

}  // namespace kalvira::testing
