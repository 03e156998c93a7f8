// The root of the program's exceptions. Every failure the system raises carries one
// message text, shown or logged exactly as it stands; subsystems derive their own
// error classes (EAuException, EMyError, ECipherException) from it.
#pragma once

#include <stdexcept>
#include <string>

namespace kalvira {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

}  // namespace kalvira
