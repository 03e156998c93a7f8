// The driver layer between the components (TMyConnection, TMyQuery) and the call table:
// TMySQLConnection is one live connection (connect, "SET NAMES", text conversion, the
// last error); RunMySqlCommand runs one statement on it; MySqlFieldKind gives a column's
// field kind; the parsers read the text protocol's values. TMyQuery's recordset
// (my_query.cpp) reads a result into the query's rows with them.
//
// Threads: used by the thread that uses the owning components.
// Internal to dbclient/.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dbclient/my_api.h"
#include "dbclient/my_connection.h"
#include "dbclient/my_query.h"

namespace kalvira {

// The receive time-out of a statement whose command time-out is 0: finite, so a silent
// server cannot block the caller forever.
inline constexpr int kDefaultStatementTimeout = 30;

// The settings a live connection is made with.
struct TMySQLConnectionSettings {
  std::string host;  // 8-bit
  int port = kDefaultMySqlPort;
  std::string user;
  std::string password;
  std::string schema;
  int connection_timeout = 15;
  std::string charset;
  bool use_unicode = false;
  bool compress = false;
  std::string component;  // the connection component's name, for errors
};

class TMySQLConnection {
 public:
  // Raises EMyError when the connection cannot be made; nothing stays open then.
  TMySQLConnection(const TMySQLConnectionSettings& settings, TMySqlSession::VioFactory factory);
  ~TMySQLConnection();
  TMySQLConnection(const TMySQLConnection&) = delete;
  TMySQLConnection& operator=(const TMySQLConnection&) = delete;

  TMySQLAPI& Api() { return *api_; }
  TMySqlSession* Session() { return session_.get(); }
  bool UseUnicode() const { return use_unicode_; }
  // Text conversion between the program's UTF-8 and the connection's bytes.
  std::string ToWire(std::string_view utf8) const;
  std::string FromWire(std::string_view bytes) const;

  // COM_QUIT and close; errors swallowed.
  void Close();

  // The EMyError for the session's last error. `stream_broken` tells whether the reply
  // stream is no longer in step (lost, malformed or out-of-order packets), in which case
  // the connection cannot be used further.
  EMyError LastError(bool* stream_broken) const;

 private:
  TMySQLAPI* api_;
  std::unique_ptr<TMySqlSession> session_;
  bool use_unicode_;
  std::string component_;
  bool closed_ = false;
};

// The field kind and width (0 for non-text kinds) of a column, or the rejection text of
// a column the client cannot represent.
struct FieldKindResult {
  TFieldType kind = TFieldType::ftUnknown;
  int width = 0;
  std::string rejection;
};
FieldKindResult MySqlFieldKind(const TMySqlFieldInfo& info, const TMyDataSetOptions& options,
                               bool use_unicode, bool optimized_big_int);

// Value parsers of the text protocol. Each returns nothing for text that is no valid
// value of its kind.
std::optional<double> ParseMySqlFloat(std::string_view text);
// Seconds since 1899-12-30 00:00:00 (my_dates.h).
std::optional<std::int64_t> ParseMySqlDate(std::string_view text);
std::optional<std::int64_t> ParseMySqlDateTime(std::string_view text);
std::optional<std::int64_t> ParseMySqlTimestamp(std::string_view text, std::uint32_t column_length);
// Signed seconds; nothing when there is no ":" among the first five characters.
std::optional<std::int64_t> ParseMySqlTime(std::string_view text);
std::string FormatFloat(double value);

// Runs a statement on a live connection. Returns the result set when the statement
// produced one and `want_result` is set; otherwise frees every result.
// On failure calls `on_error` with the error and whether the reply stream is broken (it
// may close the connection, after which nothing of it is used), then raises the error.
using ErrorHook = std::function<void(const EMyError& error, bool stream_broken)>;
std::unique_ptr<TMySqlResultSet> RunMySqlCommand(TMySQLConnection& connection,
                                                 const std::string& statement, int timeout,
                                                 bool want_result, const ErrorHook& on_error);

}  // namespace kalvira
