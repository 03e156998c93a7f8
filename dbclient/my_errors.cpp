#include "dbclient/my_errors.h"

#include <charconv>
#include <cstdio>

namespace kalvira {

EMyError::EMyError(int error_code, const std::string& message, std::string component)
    : EDAError(error_code, message, std::move(component)) {
  if (error_code != 1064) return;
  std::size_t end = message.size();
  while (end > 0 && !(message[end - 1] >= '0' && message[end - 1] <= '9')) --end;
  std::size_t begin = end;
  while (begin > 0 && message[begin - 1] >= '0' && message[begin - 1] <= '9') --begin;
  if (begin == end) return;
  int value = 0;
  const auto [ptr, ec] = std::from_chars(message.data() + begin, message.data() + end, value);
  if (ec == std::errc() && ptr == message.data() + end) line_number_ = value;
}

bool EMyError::IsFatalError() const {
  const int code = ErrorCode();
  return code == 1053 || code == 2003 || code == 2006 || code == 2013;
}

bool EMyError::IsKeyViolation() const {
  return ErrorCode() == 1062;
}

std::string my_messages::SocketError(const char* what, int code) {
  char text[96];
  std::snprintf(text, sizeof text, "Socket error on %s. WSAGetLastError return %d($%X)", what, code,
                static_cast<unsigned>(code));
  return text;
}

}  // namespace kalvira
