#include "app/kalvira_application.h"

#include <cstdlib>
#include <exception>

#include "app/error_report.h"
#include "app/wake_up_notifier.h"
#include "base/sync_call.h"

namespace kalvira {

TKalviraApplication::TKalviraApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Kalvira");
  setApplicationDisplayName("Kalvira");
  setQuitOnLastWindowClosed(false);  // the radio lives on in the tray
  SyncCallQueue& calls = SyncCallQueue::Instance();
  calls.BindUiThread();
  calls.SetErrorReporter(&ReportError);
  wake_up_ = new TWakeUpNotifier([] { SyncCallQueue::Instance().RunPending(); }, this);
  calls.SetWakeUp(wake_up_->Hook());
}

TKalviraApplication::~TKalviraApplication() {
  SyncCallQueue::Instance().SetWakeUp({});
}

bool TKalviraApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportError(std::current_exception());
    return false;
  }
}

void TKalviraApplication::ChoosePlatform() {
  const char* display = std::getenv("DISPLAY");
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (display != nullptr && *display != '\0' && (platform == nullptr || *platform == '\0')) {
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
}

}  // namespace kalvira
