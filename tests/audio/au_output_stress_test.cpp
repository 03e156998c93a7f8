// Random Run/Stop/Pause/Resume/destroy operations on a few outputs from the test thread,
// which plays the user-interface thread, while the dispatcher delivers their notices. A
// model of each output says which runs must end with exactly one OnDone (those that end
// by themselves, by an error or by Stop (true)) and which with none (Stop (false),
// destruction); at the end the counts must match. A watchdog aborts on a hang.
//
// KALVIRA_STRESS_OPS sets the number of operations (default 50000). The seed of the
// operations is printed before they start (a hang aborts the process, so it must be out
// by then); KALVIRA_STRESS_SEED=<that number> replays the same sequence of operations
// (the workers' timing, and so which runs end by themselves when, still varies).
#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>

#include "audio/au_exception.h"
#include "audio/au_output.h"
#include "audio/event_handler.h"
#include "tests/audio/support/audio_test_support.h"

namespace kalvira {
namespace {

using testing::PumpUntil;
using testing::SimInput;
using testing::SimInputOptions;
using testing::SimOutput;

constexpr std::uint32_t kStepBytes = 1000;

// Aborts the process when the test stops making progress.
class Watchdog {
 public:
  Watchdog(std::chrono::seconds limit, unsigned seed)
      : thread_([this, limit, seed] {
          std::unique_lock<std::mutex> lock(mu_);
          std::uint64_t seen = beats_.load();
          while (!done_) {
            if (cv_.wait_for(lock, limit, [this] { return done_; })) return;
            const std::uint64_t now = beats_.load();
            if (now == seen) {
              std::fprintf(stderr,
                           "stress watchdog: no progress for %lld s after %llu ops "
                           "(KALVIRA_STRESS_SEED=%u)\n",
                           static_cast<long long>(limit.count()),
                           static_cast<unsigned long long>(now), seed);
              std::abort();
            }
            seen = now;
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Beat() { ++beats_; }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool done_ = false;
  std::atomic<std::uint64_t> beats_{0};
  std::thread thread_;
};

struct Slot {
  std::unique_ptr<SimInput> input = std::make_unique<SimInput>();
  std::unique_ptr<SimOutput> output;
  // The model of the run in progress (or ended, with its OnDone still to come).
  bool outstanding = false;  // an OnDone is owed
  int permits = 0;           // Steps allowed to this run
  int needed = 0;            // Steps after which the run has ended by itself
  bool stop_requested = false;
  bool paused = false;
  // Totals.
  long started = 0;
  long silenced = 0;  // runs that must raise no OnDone: Stop (false), destruction
  long dones = 0;
  long unexpected_dones = 0;

  std::string log;  // the last operations, shown with an unexpected OnDone
  bool CanEnd() const { return stop_requested || permits >= needed; }
};

// The random choices of one new run.
struct RunChoice {
  SimInputOptions options;
};

// The operations draw from one generator, a fixed number of draws per operation whatever
// the state of the outputs, so a seed replays the same sequence of operations even though
// the workers' timing differs between runs. The done handlers, whose timing is the
// workers', draw from a second generator so they cannot shift the first.
class Stress {
 public:
  explicit Stress(unsigned seed) : rng_(seed), done_rng_(seed ^ 0x9E3779B9u) {
    for (Slot& slot : slots_) CreateOutput(slot);
  }

  void CreateOutput(Slot& slot) {
    slot.output = std::make_unique<SimOutput>(kStepBytes);
    slot.output->SetInput(slot.input.get());
    SimOutput* output = slot.output.get();
    output->SetOnDone([this, &slot, output](TAuOutput* sender) {
      if (sender != output || slot.output.get() != output || !slot.outstanding) {
        std::fprintf(stderr, "unexpected: sender %d slot %d outstanding %d last op %d\n%s\n",
                     sender == output, slot.output.get() == output, slot.outstanding, last_op_,
                     slot.log.c_str());
        ++slot.unexpected_dones;
        return;
      }
      ++slot.dones;
      slot.outstanding = false;
      slot.log += "DONE ";
      // Like the radio's done handler, start the next run at once now and then.
      if (Chance(done_rng_, 3)) StartRun(slot, DrawRun(done_rng_));
    });
    if (Chance(rng_, 2)) output->SetOnProgress([this](TAuOutput*) { ++progress_calls_; });
    output->SetOnThreadException([this](TAuOutput*) { ++error_calls_; });
  }

  static RunChoice DrawRun(std::mt19937& rng) {
    RunChoice choice;
    SimInputOptions& options = choice.options;
    options.data_bytes = Uniform(rng, 0, 8) * 1000 + Uniform(rng, 0, 999);
    options.max_chunk = static_cast<std::uint32_t>(Uniform(rng, 100, 3000));
    const int failure = Uniform(rng, 0, 9);
    const int fail_at = Uniform(rng, 1, 6);
    options.fail_open = failure == 0;
    options.fail_at_read = failure == 1 ? fail_at : 0;
    return choice;
  }

  void StartRun(Slot& slot, const RunChoice& choice) {
    const SimInputOptions& options = choice.options;
    slot.input->SetOptions(options);
    slot.output->ResetPermits();
    slot.output->Run();
    ++slot.started;
    slot.outstanding = true;
    slot.permits = 0;
    slot.stop_requested = false;
    slot.paused = false;
    if (options.fail_open) {
      slot.needed = 0;
    } else if (options.fail_at_read > 0) {
      slot.needed = 1;  // may fail at any Step's reads
    } else {
      // Whole Steps of data, then the Step whose ReadFully finds the end (a last partial
      // Step finds it at once).
      slot.needed = static_cast<int>(options.data_bytes / kStepBytes) + 1;
    }
  }

  void Operate() {
    Slot& slot = slots_[static_cast<std::size_t>(Uniform(rng_, 0, kSlots - 1))];
    const int op = Uniform(rng_, 0, 11);
    const int count = Uniform(rng_, 1, 4);
    const bool destroy = Chance(rng_, 3);
    const RunChoice run = DrawRun(rng_);
    ++ops_;
    if (!slot.output) {
      CreateOutput(slot);
      return;
    }
    last_op_ = op;
    if (op < 9) {
      slot.log += "op" + std::to_string(op) + "(o" + std::to_string(slot.outstanding) + "c" +
                  std::to_string(slot.CanEnd()) + "b" + std::to_string(slot.output->Busy()) + "p" +
                  std::to_string(slot.permits) + "/" + std::to_string(slot.needed) + ") ";
      if (slot.log.size() > 600) slot.log.erase(0, 300);
    }
    switch (op) {
      case 0:
      case 1:
        if (!slot.outstanding) {
          StartRun(slot, run);
        } else if (!slot.CanEnd()) {
          // The run cannot have ended: Run must refuse and leave it alone.
          try {
            slot.output->Run();
            ADD_FAILURE() << "Run while busy succeeded; error '" << slot.output->ErrorText()
                          << "' permits " << slot.permits << " needed " << slot.needed << " steps "
                          << slot.output->Steps() << " consumed " << slot.output->ConsumedBytes()
                          << " paused " << slot.paused;
          } catch (const EAuException& e) {
            EXPECT_EQ(e.Message(), "Component is Busy");
          }
        }
        break;
      case 2:
      case 3:
        if (slot.outstanding) {
          slot.permits += count;
          slot.output->AllowSteps(count);
        }
        break;
      case 4:
        slot.output->Stop(true);
        if (slot.outstanding) slot.stop_requested = true;
        break;
      case 5:
        if (slot.outstanding && slot.CanEnd()) {
          // Whether this run is still going is not known here; a waiting stop could go
          // either way, so stop without waiting.
          slot.output->Stop(true);
          slot.stop_requested = true;
        } else {
          slot.output->Stop(false);
          if (slot.outstanding) {
            slot.outstanding = false;
            ++slot.silenced;
            EXPECT_FALSE(slot.output->Busy());
          }
        }
        break;
      case 6:
        if (!slot.outstanding || (!slot.CanEnd() && !slot.paused)) {
          slot.output->Pause();
          if (slot.outstanding) {
            slot.paused = true;
            EXPECT_TRUE(slot.output->Thread().Paused());
          }
        }
        break;
      case 7:
        slot.output->Resume();
        slot.paused = false;
        break;
      case 8:
        if (destroy) {
          slot.output.reset();
          ++destroyed_;
          if (slot.outstanding) {
            slot.outstanding = false;
            ++slot.silenced;
          }
        }
        break;
      default:
        testing::PumpPending();
        break;
    }
  }

  // Lets every run end and every notice arrive.
  void Finish() {
    for (Slot& slot : slots_) {
      if (!slot.output) continue;
      slot.output->SetFreeRunning(true);
      slot.output->Resume();
    }
    ASSERT_TRUE(PumpUntil([this] {
      for (const Slot& slot : slots_) {
        if (slot.outstanding || (slot.output && slot.output->Busy())) return false;
      }
      return true;
    })) << "runs that never ended";
    ASSERT_TRUE(testing::PumpUntilDispatcherQuiet());
  }

  void Destroy() {
    for (Slot& slot : slots_) slot.output.reset();
  }

  static constexpr int kSlots = 3;
  Slot slots_[kSlots];
  long ops_ = 0;
  long destroyed_ = 0;
  long progress_calls_ = 0;
  long error_calls_ = 0;
  int last_op_ = -1;

 private:
  static int Uniform(std::mt19937& rng, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  }
  static bool Chance(std::mt19937& rng, int one_in) { return Uniform(rng, 1, one_in) == 1; }

  std::mt19937 rng_;       // the operations
  std::mt19937 done_rng_;  // the done handlers
};

// The seed given in KALVIRA_STRESS_SEED (decimal, 32 bits), else a fresh random one.
// False for a value that is not such a number.
bool ChooseSeed(unsigned* seed) {
  const char* env = std::getenv("KALVIRA_STRESS_SEED");
  if (env == nullptr || *env == '\0') {
    *seed = static_cast<unsigned>(std::random_device{}());
    return true;
  }
  const std::string_view text(env);
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  *seed = value;
  return true;
}

TEST(AuOutputStressTest, RandomOperationsKeepTheDoneCount) {
  testing::BindTestThreadAsUi();
  long operations = 50000;
  if (const char* env = std::getenv("KALVIRA_STRESS_OPS")) operations = std::atol(env);
  unsigned seed = 0;
  ASSERT_TRUE(ChooseSeed(&seed)) << "KALVIRA_STRESS_SEED is not a 32-bit decimal number: "
                                 << std::getenv("KALVIRA_STRESS_SEED");
  std::printf("stress: seed %u (replay with KALVIRA_STRESS_SEED=%u)\n", seed, seed);
  std::fflush(stdout);
  SCOPED_TRACE("KALVIRA_STRESS_SEED=" + std::to_string(seed));

  Watchdog watchdog(std::chrono::seconds(60), seed);
  const auto start = std::chrono::steady_clock::now();
  Stress stress(seed);
  for (long i = 0; i < operations; ++i) {
    stress.Operate();
    watchdog.Beat();
    if (::testing::Test::HasFatalFailure()) return;
  }
  stress.Finish();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  long started = 0, silenced = 0, dones = 0, unexpected = 0;
  for (const Slot& slot : stress.slots_) {
    EXPECT_EQ(slot.dones, slot.started - slot.silenced) << "per output";
    started += slot.started;
    silenced += slot.silenced;
    dones += slot.dones;
    unexpected += slot.unexpected_dones;
  }
  EXPECT_EQ(unexpected, 0) << "OnDone for a run that owed none";
  EXPECT_EQ(dones, started - silenced);
  stress.Destroy();
  EXPECT_EQ(TEventHandler::UserCount(), 0);
  std::printf(
      "stress: %ld operations in %.2f s; %ld runs started, %ld ended with OnDone, %ld "
      "silenced (Stop (false) or destruction); %ld outputs destroyed; %ld progress and %ld "
      "error handlers\n",
      stress.ops_, seconds, started, dones, silenced, stress.destroyed_, stress.progress_calls_,
      stress.error_calls_);
}

}  // namespace
}  // namespace kalvira
