// The synchronized-call queue: calls from other threads run on the bound user-interface
// thread, their callers wait for them, errors stay inside the call, and the
// user-interface thread's waits keep running calls.
#include "base/sync_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace kalvira {
namespace {

class SyncCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    queue_.BindUiThread();
    queue_.SetErrorReporter([this](std::exception_ptr error) {
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& e) {
        errors_.push_back(e.what());
      }
    });
  }
  SyncCallQueue queue_;
  std::vector<std::string> errors_;
};

TEST_F(SyncCallTest, CallRunsOnTheUiThreadAndWaitsForIt) {
  std::thread::id ran_on;
  std::atomic<bool> caller_returned{false};
  bool ran = false;
  int wake_ups = 0;
  queue_.SetWakeUp([&] { ++wake_ups; });
  std::thread caller([&] {
    queue_.Call([&] {
      ran_on = std::this_thread::get_id();
      ran = true;
    });
    // The call has run by the time Call returns.
    EXPECT_TRUE(ran);
    caller_returned = true;
  });
  ASSERT_TRUE(testing::WaitUntil([&] { return queue_.PendingCount() == 1; }));
  EXPECT_FALSE(caller_returned.load()) << "the caller waits for the user-interface thread";
  EXPECT_EQ(queue_.RunPending(), 1u);
  caller.join();
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_EQ(wake_ups, 1);
}

TEST_F(SyncCallTest, CallOnTheUiThreadRunsAtOnce) {
  bool ran = false;
  queue_.Call([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(queue_.PendingCount(), 0u);
}

TEST_F(SyncCallTest, AFailingCallIsReportedAndTheCallerGoesOn) {
  std::atomic<bool> caller_done{false};
  std::thread caller([&] {
    queue_.Call([] { throw std::runtime_error("handler failed"); });
    int after = 0;
    queue_.Call([&] { after = 1; });
    EXPECT_EQ(after, 1);
    caller_done = true;
  });
  queue_.WaitWhileRunningCalls([&] { return caller_done.load(); });
  caller.join();
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], "handler failed");
}

// Many callers at once: each call runs exactly once, on the user-interface thread, while
// that thread waits for a condition that only the calls make true.
TEST_F(SyncCallTest, WaitRunsCallsOfManyThreads) {
  constexpr int kThreads = 8;
  constexpr int kCalls = 200;
  int total = 0;
  bool off_thread = false;
  const auto ui = std::this_thread::get_id();
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t) {
    callers.emplace_back([&] {
      for (int i = 0; i < kCalls; ++i) {
        queue_.Call([&] {
          if (std::this_thread::get_id() != ui) off_thread = true;
          ++total;
        });
      }
    });
  }
  queue_.WaitWhileRunningCalls([&] { return total == kThreads * kCalls; });
  for (auto& caller : callers) caller.join();
  EXPECT_EQ(total, kThreads * kCalls);
  EXPECT_FALSE(off_thread);
  EXPECT_TRUE(errors_.empty());
}

}  // namespace
}  // namespace kalvira
