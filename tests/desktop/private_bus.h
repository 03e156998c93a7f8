// A session bus of the test's own: a dbus-daemon started for the test process and
// stopped with it, so the tests neither see nor disturb the desktop's bus. Its address
// goes into DBUS_SESSION_BUS_ADDRESS, which programs started afterwards inherit and
// QDBusConnection::sessionBus reads at its first use.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kalvira::testing {

class PrivateBus {
 public:
  PrivateBus() {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // The daemon goes when the test goes, however it ends.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      ::close(out[0]);
      const std::string fd = std::to_string(out[1]);
      ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nosyslog",
               ("--print-address=" + fd).c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(out[1]);
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') address_ += c;
    ::close(out[0]);
    if (!address_.empty()) ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
  }
  ~PrivateBus() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // Empty when the daemon could not be started.
  const std::string& Address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

}  // namespace kalvira::testing
