// The application object of the main window's tests: the program's own (the general
// error report, the engine's synchronized calls on this thread), on Qt's offscreen
// platform unless the environment names another; and a wait that keeps the event loop
// running. Test thread only.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>

#include "app/kalvira_application.h"
#include "tests/support/test_support.h"

namespace kalvira::testing {

inline TKalviraApplication& AppForTests() {
  static int argc = 1;
  static char name[] = "kalvira-app-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static TKalviraApplication* app = new TKalviraApplication(argc, argv);
  return *app;
}

// Processes events (and with them the engine's notices) until `condition` holds.
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
