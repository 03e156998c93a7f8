// The application object: Qt's, with the program's title and the general error report
// for exceptions that reach the event loop, and the user-interface side of the audio
// engine's synchronized calls (the engine's handlers run on this thread, woken by a
// nudge through TWakeUpNotifier whenever a call arrives).
//
// Threads: created and used on the main thread, which becomes the user-interface thread.
#pragma once

#include <QApplication>

namespace kalvira {

class TWakeUpNotifier;

class TKalviraApplication : public QApplication {
  Q_OBJECT

 public:
  TKalviraApplication(int& argc, char** argv);
  ~TKalviraApplication() override;

  bool notify(QObject* receiver, QEvent* event) override;

  // Qt on Wayland cannot place or fade top-level windows: with DISPLAY set and no
  // QT_QPA_PLATFORM given, ask for the xcb platform (XWayland). Call before construction.
  static void ChoosePlatform();

 private:
  TWakeUpNotifier* wake_up_ = nullptr;  // owned as a child
};

}  // namespace kalvira
