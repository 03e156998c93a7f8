// The output framework with its worker and the notice dispatcher, driven from the test
// thread as the user-interface thread: runs, stops, pauses, the done notices and their
// order, errors inside runs, destruction in every state, and the station-change sequence
// the radio plays on top of it.
#include "audio/au_output.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "audio/au_exception.h"
#include "audio/au_input.h"
#include "audio/event_handler.h"
#include "base/sync_call.h"
#include "tests/audio/support/audio_test_support.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using testing::PatternBytes;
using testing::PumpUntil;
using testing::PumpUntilDispatcherQuiet;
using testing::RaisedMessage;
using testing::SimInput;
using testing::SimInputOptions;
using testing::SimOutput;

SimInputOptions Pcm(std::int64_t data_bytes) {
  SimInputOptions options;
  options.data_bytes = data_bytes;
  options.max_chunk = 700;
  return options;
}

// Handler calls of one output, counted on the user-interface thread.
struct Events {
  int done = 0;
  int progress = 0;
  int errors = 0;
  bool off_ui_thread = false;
  std::string error_text;
  std::function<void(TAuOutput*)> after_done;
  const std::thread::id ui = std::this_thread::get_id();

  void Attach(TAuOutput& output, bool with_progress = false) {
    output.SetOnDone([this](TAuOutput* sender) {
      Check();
      ++done;
      if (after_done) after_done(sender);
    });
    output.SetOnThreadException([this](TAuOutput* sender) {
      Check();
      ++errors;
      error_text = sender->ErrorText();
    });
    if (with_progress) {
      output.SetOnProgress([this](TAuOutput*) {
        Check();
        ++progress;
      });
    }
  }
  void Check() {
    if (std::this_thread::get_id() != ui) off_ui_thread = true;
  }
};

class AuOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::BindTestThreadAsUi();
    ASSERT_EQ(TEventHandler::UserCount(), 0) << "an earlier test left an output behind";
  }
  void TearDown() override { EXPECT_EQ(TEventHandler::UserCount(), 0); }

  // Pumps until every notice posted so far is handled, then checks the handlers' thread.
  void Settle(const Events& events) {
    ASSERT_TRUE(PumpUntilDispatcherQuiet());
    EXPECT_FALSE(events.off_ui_thread) << "a handler ran off the user-interface thread";
  }
};

TEST_F(AuOutputTest, RunAndPauseWithoutInputRaise) {
  SimOutput output;
  Events events;
  events.Attach(output);
  EXPECT_EQ(RaisedMessage([&] { output.Run(); }), "Input is not assigned");
  EXPECT_FALSE(output.Busy());
  EXPECT_EQ(RaisedMessage([&] { output.Pause(); }), "Input is not assigned.");
  output.Resume();  // nothing to resume: no error
  EXPECT_EQ(output.Progress(), 0);

  SimInput input(Pcm(3000));
  output.SetInput(&input);
  output.SetFreeRunning(true);
  output.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.done == 1; }));
  Settle(events);
  EXPECT_EQ(output.ConsumedBytes(), 3000);
}

TEST_F(AuOutputTest, NaturalEndRaisesOneDoneAfterTeardown) {
  SimInput input(Pcm(20000));
  SimOutput output(1000);
  output.SetInput(&input);
  output.SetRecordData(true);
  output.SetFreeRunning(true);
  Events events;
  bool idle_at_done = false;
  events.after_done = [&](TAuOutput*) {
    idle_at_done = !output.Busy() && output.Thread().Idle() && output.Teardowns() == 1;
  };
  events.Attach(output, /*with_progress=*/true);
  output.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.done == 1; }));
  Settle(events);
  EXPECT_EQ(events.done, 1);
  EXPECT_TRUE(idle_at_done) << "OnDone came before the worker was idle";
  EXPECT_GE(events.progress, 1);
  EXPECT_EQ(output.Progress(), 100) << "the whole input was delivered";
  EXPECT_EQ(output.ConsumedData(), PatternBytes(0, 20000));
  EXPECT_EQ(output.Setups(), 1);
  EXPECT_EQ(output.Teardowns(), 1);
  EXPECT_TRUE(output.AllHooksOnWorker());
  EXPECT_FALSE(input.Busy());
  EXPECT_EQ(input.OpenCount(), 0);
  EXPECT_EQ(output.ErrorText(), "");
}

TEST_F(AuOutputTest, RunWhileBusyRaisesAndLeavesTheRunAlone) {
  SimInput input(Pcm(5000));
  SimOutput output(1000);
  output.SetInput(&input);
  output.SetRecordData(true);
  Events events;
  events.Attach(output);
  output.Run();
  output.AllowSteps(2);
  EXPECT_EQ(RaisedMessage([&] { output.Run(); }), "Component is Busy");
  EXPECT_TRUE(output.Busy());
  output.AllowSteps(10);
  ASSERT_TRUE(PumpUntil([&] { return events.done == 1; }));
  Settle(events);
  EXPECT_EQ(events.done, 1);
  EXPECT_EQ(output.Setups(), 1);
  EXPECT_EQ(output.ConsumedData(), PatternBytes(0, 5000));
}

// Stop in every state, with and without waiting. A stopped run ends within one Step.
TEST_F(AuOutputTest, StopInEveryState) {
  enum class State { kIdle, kRunning, kPaused };
  struct Case {
    const char* name;
    State state;
    bool async;
    int expected_done;
  };
  const Case cases[] = {
      {"idle, async", State::kIdle, true, 0},       {"idle, waiting", State::kIdle, false, 0},
      {"running, async", State::kRunning, true, 1}, {"running, waiting", State::kRunning, false, 0},
      {"paused, async", State::kPaused, true, 1},   {"paused, waiting", State::kPaused, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInput input(Pcm(100000));
    SimOutput output(1000);
    output.SetInput(&input);
    Events events;
    events.Attach(output);
    if (c.state != State::kIdle) {
      output.Run();
      output.AllowSteps(3);
      ASSERT_TRUE(PumpUntil([&] { return output.ConsumedBytes() == 3000; }));
    }
    if (c.state == State::kPaused) {
      output.Pause();
      ASSERT_TRUE(output.Thread().Paused());
    }
    output.Stop(c.async);
    if (!c.async) {
      EXPECT_FALSE(output.Busy()) << "a waiting stop returns after the run has finished";
      EXPECT_EQ(output.Teardowns(), c.state == State::kIdle ? 0 : 1);
      EXPECT_FALSE(output.Thread().Paused());
    }
    // Busy clears in the worker's teardown, before it posts the done notice; an idle
    // worker has posted it, so a quiet dispatcher has delivered it.
    ASSERT_TRUE(PumpUntil([&] { return !output.Busy() && output.Thread().Idle(); }));
    Settle(events);
    EXPECT_EQ(events.done, c.expected_done);
    EXPECT_LT(output.ConsumedBytes(), 100000);
    EXPECT_FALSE(input.Busy());

    // Nothing lingers: the next run plays to its end and raises exactly one OnDone.
    output.SetFreeRunning(true);
    output.Run();
    ASSERT_TRUE(PumpUntil([&] { return events.done == c.expected_done + 1; }));
    Settle(events);
    EXPECT_EQ(events.done, c.expected_done + 1);
  }
}

TEST_F(AuOutputTest, WaitingStopDropsQueuedProgressNotices) {
  SimInput input(Pcm(1000000));
  SimOutput output(1000);  // a percent every 10 Steps
  output.SetInput(&input);
  Events events;
  events.Attach(output, /*with_progress=*/true);
  output.Run();
  // The user-interface thread does not pump: the first progress notice holds the
  // dispatcher, the later ones queue up behind it.
  output.AllowSteps(200);
  ASSERT_TRUE(testing::WaitUntil([&] { return output.Steps() >= 200; }));
  ASSERT_GE(TEventHandler::CurrentCounters().posted[TEventHandler::kProgress], 10u);
  output.Stop(false);
  EXPECT_FALSE(output.Busy());
  Settle(events);
  EXPECT_LE(events.progress, 1) << "only the notice already being delivered may arrive";
  EXPECT_EQ(events.done, 0);
  EXPECT_GE(TEventHandler::CurrentCounters().removed[TEventHandler::kProgress], 9u);
}

// The worker may finish a stopped run at once (a paused run ends with a single aborted
// Step); its done notice must still be refused.
TEST_F(AuOutputTest, WaitingStopOfAPausedRunNeverRaisesDone) {
  SimInput input(Pcm(100000));
  SimOutput output(1000);
  output.SetInput(&input);
  Events events;
  events.Attach(output);
  for (int i = 0; i < 300; ++i) {
    output.Run();
    output.Pause();
    ASSERT_TRUE(output.Thread().Paused());
    output.Stop(false);
    ASSERT_TRUE(PumpUntilDispatcherQuiet());
    ASSERT_EQ(events.done, 0) << "after " << i + 1 << " runs";
  }
  EXPECT_EQ(output.Teardowns(), 300);
}

TEST_F(AuOutputTest, WaitingStopKeepsTheDoneOfARunThatAlreadyEnded) {
  SimInput input(Pcm(3000));
  SimOutput output(1000);
  output.SetInput(&input);
  output.SetFreeRunning(true);
  Events events;
  events.Attach(output);
  output.Run();
  ASSERT_TRUE(testing::WaitUntil([&] { return output.Thread().IdleWithoutRun(); }));
  // The run ended by itself; its notice waits for the user-interface thread.
  output.Stop(false);
  Settle(events);
  EXPECT_EQ(events.done, 1);
}

TEST_F(AuOutputTest, PauseAndResume) {
  SimInput input(Pcm(10000));
  SimOutput output(1000);
  output.SetInput(&input);
  output.SetRecordData(true);
  Events events;
  events.Attach(output);

  output.Pause();  // idle: returns at once
  EXPECT_EQ(input.PauseHooks(), 0);

  // A Pause right after Run pauses the new run as soon as it has set up.
  output.Run();
  output.Pause();
  EXPECT_TRUE(output.Thread().Paused());
  EXPECT_EQ(input.PauseHooks(), 1);
  output.Resume();
  EXPECT_EQ(input.ResumeHooks(), 1);
  output.AllowSteps(3);
  ASSERT_TRUE(PumpUntil([&] { return output.ConsumedBytes() == 3000; }));
  output.Pause();
  EXPECT_TRUE(output.Thread().Paused());
  EXPECT_EQ(input.PauseHooks(), 2);
  const int steps = output.Steps();
  output.AllowSteps(100);  // permits wait while the worker is paused
  output.Resume();
  EXPECT_EQ(input.ResumeHooks(), 2);
  ASSERT_TRUE(PumpUntil([&] { return events.done == 1; }));
  EXPECT_GT(output.Steps(), steps);
  EXPECT_EQ(output.ConsumedData(), PatternBytes(0, 10000)) << "paused where it stopped";

  output.Resume();  // nothing paused: nothing happens
  EXPECT_EQ(input.ResumeHooks(), 2);
  Settle(events);
  EXPECT_EQ(events.done, 1);
}

TEST_F(AuOutputTest, PauseOfAPausedRunWaitsAndPausesAgainAfterOneStep) {
  SimInput input(Pcm(100000));
  SimOutput output(1000);
  output.SetInput(&input);
  output.Run();
  output.AllowSteps(2);
  ASSERT_TRUE(PumpUntil([&] { return output.ConsumedBytes() == 2000; }));
  output.Pause();
  ASSERT_TRUE(output.Thread().Paused());
  const auto start = std::chrono::steady_clock::now();
  output.Pause();  // no acknowledgement comes: gives up after 5 s, leaves the request
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
  EXPECT_TRUE(output.Thread().PauseRequested());
  const int steps = output.Steps();
  output.Resume();
  ASSERT_TRUE(PumpUntil([&] { return output.Thread().Paused(); }));
  EXPECT_EQ(output.Steps(), steps + 1);
  output.Stop(false);
  EXPECT_FALSE(output.Busy());
}

// Every failure inside a run ends it through the error path: ErrorText, OnThreadException,
// Teardown, and exactly one OnDone.
TEST_F(AuOutputTest, FailuresInsideARunEndItWithOneDone) {
  struct Case {
    const char* name;
    bool input_open_fails;
    int input_read_fails_at;
    bool setup_fails;
    int step_fails_at;
    bool teardown_fails;
    const char* error;
  };
  const Case cases[] = {
      {"input cannot open", true, 0, false, 0, false, testing::kSimOpenError},
      {"input fails at the first read", false, 1, false, 0, false, testing::kSimReadError},
      {"input fails at the fourth read", false, 4, false, 0, false, testing::kSimReadError},
      {"setup fails", false, 0, true, 0, false, testing::kSimSetupError},
      {"step fails", false, 0, false, 2, false, testing::kSimStepError},
      {"teardown fails", false, 0, false, 0, true, ""},
      {"input fails to close", false, 0, false, 0, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInputOptions options = Pcm(5000);
    options.fail_open = c.input_open_fails;
    options.fail_at_read = c.input_read_fails_at;
    options.fail_close = std::string(c.name) == "input fails to close";
    SimInput input(options);
    SimOutput output(1000);
    output.SetInput(&input);
    output.SetFreeRunning(true);
    output.SetFailSetup(c.setup_fails);
    output.SetFailStepAt(c.step_fails_at);
    output.SetFailTeardown(c.teardown_fails);
    Events events;
    events.Attach(output);
    output.Run();
    ASSERT_TRUE(PumpUntil([&] { return events.done == 1; }));
    Settle(events);
    EXPECT_EQ(events.done, 1);
    EXPECT_EQ(output.ErrorText(), c.error);
    EXPECT_EQ(events.errors, c.error[0] != '\0' ? 1 : 0);
    EXPECT_EQ(events.error_text, c.error);
    EXPECT_EQ(output.Teardowns(), 1);
    EXPECT_FALSE(output.Busy());
    EXPECT_FALSE(input.Busy()) << "the input's run was finished";

    // A later run with the cause gone works and clears ErrorText.
    input.SetOptions(Pcm(5000));
    output.SetFailSetup(false);
    output.SetFailStepAt(0);
    output.SetFailTeardown(false);
    output.Run();
    EXPECT_EQ(output.ErrorText(), "");
    ASSERT_TRUE(PumpUntil([&] { return events.done == 2; }));
    Settle(events);
    EXPECT_EQ(output.ConsumedBytes() % 1000, 0);
  }
}

// A done notice the dispatcher takes while the worker already runs the next run waits for
// that run and then stands for its end; the next run's own notice is dropped.
TEST_F(AuOutputTest, DoneTakenDuringTheNextRunWaitsForIt) {
  SimInput input(Pcm(1000000));
  SimOutput output(1000);
  output.SetInput(&input);
  Events events;
  bool second_run_over = false;
  events.after_done = [&](TAuOutput*) {
    second_run_over = output.Teardowns() == 2 && !output.Busy();
  };
  events.Attach(output, /*with_progress=*/true);
  output.Run();
  output.AllowSteps(20);
  ASSERT_TRUE(testing::WaitUntil([&] { return output.ConsumedBytes() == 20000; }));
  // Hold the dispatcher in a progress call the user-interface thread does not run yet.
  ASSERT_TRUE(testing::WaitUntil([] { return SyncCallQueue::Instance().PendingCount() == 1; }));
  output.Stop(true);
  ASSERT_TRUE(testing::WaitUntil([&] { return output.Thread().IdleWithoutRun(); }));
  input.SetOptions(Pcm(5000));
  output.Run();  // the second run starts before the first run's done notice is taken
  ASSERT_TRUE(PumpUntil([&] {
    return TEventHandler::CurrentCounters().posted[1] == 1 &&
           SyncCallQueue::Instance().PendingCount() == 0 && output.Setups() == 2;
  }));
  EXPECT_EQ(events.done, 0);
  output.SetFreeRunning(true);
  ASSERT_TRUE(PumpUntil([&] { return events.done == 1; }));
  Settle(events);
  EXPECT_EQ(events.done, 1);
  EXPECT_TRUE(second_run_over);
  EXPECT_EQ(TEventHandler::CurrentCounters().removed[TEventHandler::kDone], 1u);
}

// The radio's start-a-file sequence: stop without waiting, 300 ms, a new file, Run; the
// done handler starts the next track the same way.
class Radio {
 public:
  Radio(SimInput& input, SimOutput& output) : input_(input), output_(output) {
    output_.SetOnDone([this](TAuOutput*) {
      ++dones_;
      PlayRandomTrack();
    });
  }
  void PlayRandomTrack() {
    ++draws_;
    output_.Stop(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the radio's own wait
    input_.SetFileName("track" + std::to_string(draws_) + ".mp3");
    try {
      output_.Run();
    } catch (const EAuException& e) {
      busy_failures_.push_back(e.Message());
    }
  }
  int draws() const { return draws_; }
  int dones() const { return dones_; }
  const std::vector<std::string>& busy_failures() const { return busy_failures_; }

 private:
  SimInput& input_;
  SimOutput& output_;
  int draws_ = 0;
  int dones_ = 0;
  std::vector<std::string> busy_failures_;
};

TEST_F(AuOutputTest, StationChangeSequence) {
  // A track is 5 Steps: four of data, one that finds the end.
  SimInput input(Pcm(4000));
  SimOutput output(1000);
  output.SetInput(&input);
  Radio radio(input, output);

  radio.PlayRandomTrack();  // the first track plays (and waits for permits)
  ASSERT_TRUE(PumpUntil([&] { return output.Setups() == 1 && output.StepWaiting(); }));
  radio.PlayRandomTrack();  // station change: the first track is stopped
  // The stopped track's notice arrives after the new track started and replaces it.
  ASSERT_TRUE(PumpUntil([&] { return radio.draws() == 3 && output.Setups() == 3; }));
  EXPECT_EQ(radio.dones(), 1);
  EXPECT_TRUE(radio.busy_failures().empty());

  // From here on exactly one new track follows each ended track; the notice of the
  // stopped second track stood for the third track's end.
  for (int track = 3; track <= 6; ++track) {
    SCOPED_TRACE(track);
    output.AllowSteps(5);
    ASSERT_TRUE(PumpUntil([&] { return output.Setups() == track + 1; }));
    ASSERT_TRUE(PumpUntil([&] { return output.StepWaiting(); }));
    EXPECT_EQ(radio.draws(), track + 1);
    EXPECT_EQ(radio.dones(), track - 1);
  }
  EXPECT_TRUE(radio.busy_failures().empty());
  output.Stop(false);
}

TEST_F(AuOutputTest, TwoOutputsShareOneDispatcher) {
  SimInput input_a(Pcm(5000));
  SimInput input_b(Pcm(5000));
  auto a = std::make_unique<SimOutput>(1000);
  auto b = std::make_unique<SimOutput>(1000);
  EXPECT_EQ(TEventHandler::UserCount(), 2);
  a->SetInput(&input_a);
  b->SetInput(&input_b);
  Events events_a;
  Events events_b;
  events_a.Attach(*a, true);
  events_b.Attach(*b, true);
  a->Run();
  b->Run();
  a->AllowSteps(2);
  b->AllowSteps(2);
  ASSERT_TRUE(PumpUntil([&] { return events_a.progress >= 1 && events_b.progress >= 1; }));

  a.reset();  // destroying one output leaves the other's notices flowing
  EXPECT_EQ(TEventHandler::UserCount(), 1);
  b->SetFreeRunning(true);
  ASSERT_TRUE(PumpUntil([&] { return events_b.done == 1; }));
  Settle(events_b);
  EXPECT_EQ(events_a.done, 0);

  b.reset();  // the last one stops the dispatcher
  EXPECT_EQ(TEventHandler::UserCount(), 0);
  EXPECT_TRUE(TEventHandler::DispatcherQuiet());
}

// No lost wake-up: a Run that comes while the worker is on its way into the idle wait
// (or before a new worker reached its first one) still starts.
TEST_F(AuOutputTest, RunRacingTheWorkerIntoItsIdleWaitStarts) {
  SimInput input(Pcm(2000));
  Events events;
  for (int i = 0; i < 200; ++i) {
    SimOutput fresh(1000);
    fresh.SetInput(&input);
    fresh.SetFreeRunning(true);
    events.Attach(fresh);
    fresh.Run();  // before the worker reached its first idle wait, most likely
    ASSERT_TRUE(PumpUntil([&] { return events.done == i + 1; })) << "run " << i << " lost";
  }

  SimOutput output(1000);
  output.SetInput(&input);
  output.SetFreeRunning(true);
  for (int i = 0; i < 500; ++i) {
    output.Run();
    // Busy clears before the worker posts its notice and goes idle: Run at once.
    while (output.Busy()) {
    }
  }
  output.Run();
  output.Stop(false);  // returns once the worker has finished
  for (int i = 0; i < 300; ++i) {
    output.Run();
    output.Stop(false);  // may return before the worker is back in its idle wait
  }
  output.Run();
  ASSERT_TRUE(PumpUntil([&] { return !output.Busy(); })) << "a run was handed over and lost";
  EXPECT_EQ(output.Setups(), 802);
  EXPECT_EQ(output.Teardowns(), 802);
  Settle(events);
}

// Destruction returns in every state and no handler runs afterwards.
TEST_F(AuOutputTest, DestroyInEveryState) {
  enum class State { kIdle, kRunning, kPaused, kStopping, kDonePending, kInsideOnDone };
  const State states[] = {State::kIdle,     State::kRunning,     State::kPaused,
                          State::kStopping, State::kDonePending, State::kInsideOnDone};
  for (State state : states) {
    SCOPED_TRACE(static_cast<int>(state));
    SimInput input(Pcm(100000));
    auto output = std::make_unique<SimOutput>(1000);
    output->SetInput(&input);
    Events events;
    events.Attach(*output, true);
    switch (state) {
      case State::kIdle:
        break;
      case State::kRunning:
        output->Run();
        output->AllowSteps(5);
        break;
      case State::kPaused:
        output->Run();
        output->AllowSteps(2);
        output->Pause();
        break;
      case State::kStopping:
        output->Run();
        output->Stop(true);
        break;
      case State::kDonePending:
        output->SetFreeRunning(true);
        output->Run();
        ASSERT_TRUE(testing::WaitUntil([&] { return output->Thread().IdleWithoutRun(); }));
        break;
      case State::kInsideOnDone:
        output->SetFreeRunning(true);
        events.after_done = [&](TAuOutput*) { output.reset(); };
        output->Run();
        ASSERT_TRUE(PumpUntil([&] { return output == nullptr; }));
        break;
    }
    const int done_before = events.done;
    output.reset();
    ASSERT_TRUE(PumpUntilDispatcherQuiet());
    EXPECT_EQ(events.done, done_before) << "no OnDone after destruction";
    EXPECT_FALSE(input.Busy());
    EXPECT_EQ(TEventHandler::UserCount(), 0);
  }
}

TEST_F(AuOutputTest, NewInputDuringARunRestartsWithIt) {
  SimInput first(Pcm(100000));
  SimInput second(Pcm(3000));
  SimOutput output(1000);
  output.SetInput(&first);
  Events events;
  events.Attach(output);
  output.Run();
  output.AllowSteps(2);
  ASSERT_TRUE(PumpUntil([&] { return output.ConsumedBytes() == 2000; }));
  output.SetInput(&second);  // stops the run without a done notice and runs the new input
  output.SetFreeRunning(true);
  ASSERT_TRUE(PumpUntil([&] { return events.done == 1; }));
  Settle(events);
  EXPECT_EQ(events.done, 1);
  EXPECT_EQ(output.Setups(), 2);
  EXPECT_FALSE(first.Busy());
  EXPECT_EQ(output.ConsumedBytes() - 2000, 3000);
}

TEST_F(AuOutputTest, RemovedInputStopsTheRun) {
  auto input = std::make_unique<SimInput>(Pcm(100000));
  SimOutput output(1000);
  output.SetInput(input.get());
  Events events;
  events.Attach(output);
  output.Run();
  output.AllowSteps(2);
  ASSERT_TRUE(PumpUntil([&] { return output.ConsumedBytes() == 2000; }));
  input.reset();
  EXPECT_EQ(output.Input(), nullptr);
  EXPECT_FALSE(output.Busy());
  Settle(events);
  EXPECT_EQ(events.done, 0);
  EXPECT_EQ(RaisedMessage([&] { output.Run(); }), "Input is not assigned");
}

TEST_F(AuOutputTest, ProgressIsTheDeliveredShareRoundedHalfToEven) {
  struct Case {
    std::int64_t size;
    std::int64_t delivered;
    std::int32_t percent;
  };
  const Case cases[] = {{0, 0, 0},     {-1, 0, -1},       {1000, 5, 0}, {1000, 25, 2},
                        {1000, 35, 4}, {1000, 1000, 100}, {200, 1, 0},  {200, 3, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    SimInputOptions options = Pcm(c.size > 0 ? c.size : 1000);
    options.declared_size = c.size;
    options.max_chunk = 1;
    SimInput input(options);
    SimOutput output(1);
    output.SetInput(&input);
    output.Run();
    output.AllowSteps(static_cast<int>(c.delivered));
    ASSERT_TRUE(
        PumpUntil([&] { return input.OpenCount() == 1 && output.ConsumedBytes() == c.delivered; }));
    EXPECT_EQ(output.Progress(), c.percent);
    output.Stop(false);
  }
}

std::vector<std::string> ThreadNames() {
  std::vector<std::string> names;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir)) {
      std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
      std::string name;
      if (std::getline(comm, name)) names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

TEST_F(AuOutputTest, EngineThreadsAreNamed) {
  SimOutput output;
  auto has = [](const std::string& name) {
    const auto names = ThreadNames();
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  // The worker's name is cut to the 15 characters a Linux thread name holds.
  EXPECT_TRUE(testing::WaitUntil([&] { return has("kalvira-audio-o"); }));
  EXPECT_TRUE(testing::WaitUntil([&] { return has("kalvira-notices"); }));
}

}  // namespace
}  // namespace kalvira
