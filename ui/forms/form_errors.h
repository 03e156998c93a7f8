// What a window's handler does not catch goes to the program's general error report,
// which the program hands its windows as an ErrorReporter (the windows live below app/,
// where the report is). Exceptions never leave a handler into the toolkit.
//
// Threads: the user-interface thread only.
#pragma once

#include <cstdio>
#include <exception>
#include <functional>
#include <utility>

namespace kalvira {

using ErrorReporter = std::function<void(std::exception_ptr)>;

// `handler` wrapped so that whatever it raises reaches `report` (standard error when
// there is none).
template <class F>
auto Reported(ErrorReporter report, F handler) {
  return [report = std::move(report), handler = std::move(handler)](auto&&... args) {
    try {
      handler(std::forward<decltype(args)>(args)...);
    } catch (...) {
      if (report) {
        report(std::current_exception());
      } else {
        std::fputs("kalvira: unreported error in a window\n", stderr);
      }
    }
  };
}

}  // namespace kalvira
