#include "app/kalvira_application.h"

#include <QMetaObject>
#include <cstdlib>
#include <exception>

#include "app/error_report.h"
#include "base/sync_call.h"

namespace kalvira {

TKalviraApplication::TKalviraApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Kalvira");
  setApplicationDisplayName("Kalvira");
  setQuitOnLastWindowClosed(false);  // the radio lives on in the tray
  SyncCallQueue& calls = SyncCallQueue::Instance();
  calls.BindUiThread();
  calls.SetErrorReporter(&ReportError);
  calls.SetWakeUp([this] {
    QMetaObject::invokeMethod(
        this, [] { SyncCallQueue::Instance().RunPending(); }, Qt::QueuedConnection);
  });
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
