// The nudge that wakes the user-interface thread when an engine thread hands it a
// synchronized call: an eventfd the engine thread writes and a socket notifier on the
// user-interface thread that drains it and runs the waiting calls.
//
// Why not a queued Qt call: posting into Qt's event queue from an engine thread works, but
// Qt's own locks are invisible to the thread sanitizer in an uninstrumented Qt, so every
// post would look like a race. With the eventfd the engine thread never touches Qt; the
// hand-over is the queue's own mutex plus a write(2) to a descriptor.
//
// Threads: constructed, used and destroyed on the user-interface thread; Hook()'s
// function may run on any thread, also after this object is gone (it then writes to a
// descriptor nobody reads, never to a closed or reused one).
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace kalvira {

class TWakeUpNotifier : public QObject {
  Q_OBJECT

 public:
  // `run_pending` runs on the user-interface thread after every nudge.
  explicit TWakeUpNotifier(std::function<void()> run_pending, QObject* parent = nullptr);
  ~TWakeUpNotifier() override;

  // The function the engine side calls to nudge this thread.
  std::function<void()> Hook() const;

 private:
  class Descriptor;

  void Drain();

  std::shared_ptr<Descriptor> descriptor_;
  std::function<void()> run_pending_;
  QSocketNotifier* notifier_ = nullptr;  // owned as a child
};

}  // namespace kalvira
