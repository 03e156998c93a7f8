// The application's general error report: an exception that no handler caught ends that
// handler, its message is shown in a modal box, and the program goes on with the next
// event. Every handler of the program's windows runs through Guarded (or reaches
// TKalviraApplication::notify, or the synchronized calls' error reporter), so this is the
// one place where such errors end up.
//
// Threads: the user-interface thread only.
#pragma once

#include <exception>
#include <functional>
#include <utility>

namespace kalvira {

class IMessageBox;

// The box the report shows; none (the default) writes the message to standard error.
void SetErrorReportBox(IMessageBox* box);

// Shows the message of `error` (an exception of the program or any std::exception).
void ReportError(std::exception_ptr error);

// `handler` wrapped so that whatever it raises goes to ReportError.
template <class F>
auto Guarded(F handler) {
  return [handler = std::move(handler)](auto&&... args) {
    try {
      handler(std::forward<decltype(args)>(args)...);
    } catch (...) {
      ReportError(std::current_exception());
    }
  };
}

}  // namespace kalvira
