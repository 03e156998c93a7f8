// The errors the database client raises to its callers.
//
//   kalvira::Exception
//   ├── EDatabaseError   misuse of the components ("Connection is not defined", ...)
//   │   └── EDAError     an error with a code and the component concerned
//   │       └── EMyError every error of the server, the protocol or the transport
//   └── EConvertError    a value that cannot be converted ("'x' is not a valid integer value")
//
// Messages are UTF-8. An EMyError message is the client text of its code (empty for
// server codes), then, when there is a detail, CR LF and the detail; for a server error
// the detail is the server's message, which begins with "#" and the SQL state.
#pragma once

#include <cstdint>
#include <string>

#include "base/exception.h"

namespace kalvira {

class EDatabaseError : public Exception {
 public:
  explicit EDatabaseError(const std::string& message) : Exception(message) {}
};

class EDAError : public EDatabaseError {
 public:
  EDAError(int error_code, const std::string& message, std::string component = {})
      : EDatabaseError(message), error_code_(error_code), component_(std::move(component)) {}
  int ErrorCode() const { return error_code_; }
  // The name of the connection component that raised the error.
  const std::string& Component() const { return component_; }
  virtual bool IsFatalError() const { return false; }
  virtual bool IsKeyViolation() const { return false; }

 private:
  int error_code_;
  std::string component_;
};

class EMyError : public EDAError {
 public:
  EMyError(int error_code, const std::string& message, std::string component = {});
  // True for 1053, 2003, 2006 and 2013: the connection is gone.
  bool IsFatalError() const override;
  // True for 1062 (duplicate key).
  bool IsKeyViolation() const override;
  // For 1064 the last run of decimal digits in the message; otherwise 0.
  int LineNumber() const { return line_number_; }

 private:
  int line_number_ = 0;
};

class EConvertError : public Exception {
 public:
  explicit EConvertError(const std::string& message) : Exception(message) {}
};

// The texts the client raises itself, outside the client error table (my_net.h), used
// exactly as they stand. Texts with values are filled in by the functions.
namespace my_messages {
inline constexpr const char* kOpenConnection =
    "Cannot perform this operation on an open connection";
inline constexpr const char* kConnectionNotDefined = "Connection is not defined";
inline constexpr const char* kMustReturnResultSet =
    "Query must return exactly result set - use Execute";
inline constexpr const char* kUnknownHost = "Unknown host";
inline constexpr const char* kCannotCreateSocket = "Can't create socket";
inline constexpr const char* kSocketOptionFailed = "setsockopt failed";
inline constexpr const char* kReceiveTimeoutFailed = "setsockopt(SO_RCVTIMEO) failed";
inline constexpr const char* kResultState = "mysql.status = ";

inline std::string FieldNotFound(const std::string& component, const std::string& field) {
  return component + ": Field '" + field + "' not found";
}
inline std::string CannotAccessAsInteger(const std::string& field) {
  return "Cannot access field '" + field + "' as type Integer";
}
inline std::string WrongTimeFormat(const std::string& field, const std::string& value) {
  return "Wrong time format. Field " + field + ", value " + value;
}
inline std::string InvalidTimestampLength(std::uint32_t length) {
  return "Invalid FIELD_TYPE_TIMESTAMP Field.Length (" + std::to_string(length) + ")";
}
inline std::string UnknownDatatype(int type) {
  return "Unknown MySQL datatype (" + std::to_string(type) + ")";
}
inline std::string NotAValidFloat(const std::string& text) {
  return "'" + text + "' is not a valid floating point value";
}
inline std::string NotAValidInteger(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}
// `what`: "connect", "read" or "write"; `code`: the platform's socket error number.
std::string SocketError(const char* what, int code);
}  // namespace my_messages

}  // namespace kalvira
