#include "app/wake_up_notifier.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

namespace kalvira {

// The eventfd, closed when the last holder (the object or a copied hook) lets go.
class TWakeUpNotifier::Descriptor {
 public:
  Descriptor() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  }
  ~Descriptor() { ::close(fd_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int fd() const { return fd_; }

  void Signal() const {
    const std::uint64_t one = 1;
    // EAGAIN means the counter is already non-zero: the reader is due anyway.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  void Clear() const {
    std::uint64_t count = 0;
    while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
  }

 private:
  const int fd_;
};

TWakeUpNotifier::TWakeUpNotifier(std::function<void()> run_pending, QObject* parent)
    : QObject(parent),
      descriptor_(std::make_shared<Descriptor>()),
      run_pending_(std::move(run_pending)),
      notifier_(new QSocketNotifier(descriptor_->fd(), QSocketNotifier::Read, this)) {
  connect(notifier_, &QSocketNotifier::activated, this, &TWakeUpNotifier::Drain);
}

TWakeUpNotifier::~TWakeUpNotifier() = default;

std::function<void()> TWakeUpNotifier::Hook() const {
  return [descriptor = descriptor_] { descriptor->Signal(); };
}

void TWakeUpNotifier::Drain() {
  // Clear before running, so a call that arrives while the others run nudges again.
  descriptor_->Clear();
  run_pending_();
}

}  // namespace kalvira
