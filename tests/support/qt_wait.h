// Waiting on a condition while Qt's event loop runs (replies, timers, queued signals),
// for tests with a Qt application object. Test thread only.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>

#include "tests/support/test_support.h"

namespace kalvira::testing {

// Processes events until `condition` holds; false when `deadline` passed first.
inline bool ProcessEventsUntil(const std::function<bool()>& condition,
                               std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
  return WaitUntil(
      [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return condition();
      },
      deadline);
}

}  // namespace kalvira::testing
