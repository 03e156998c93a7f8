// The protocol session (TMySqlSession): handshake and authentication, commands, and the
// text-protocol result reading that the call table offers as mysql_* calls. Also the
// password scrambles of the protocol's three generations.
//
// Threads: a session is used by one thread at a time. It owns its transport and its
// packet layer.
// Internal to dbclient/.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/service_url.h"
#include "dbclient/my_net.h"
#include "dbclient/vio.h"

namespace kalvira {

// Capability flags.
inline constexpr std::uint32_t CLIENT_LONG_PASSWORD = 0x1;
inline constexpr std::uint32_t CLIENT_FOUND_ROWS = 0x2;
inline constexpr std::uint32_t CLIENT_LONG_FLAG = 0x4;
inline constexpr std::uint32_t CLIENT_CONNECT_WITH_DB = 0x8;
inline constexpr std::uint32_t CLIENT_COMPRESS = 0x20;
inline constexpr std::uint32_t CLIENT_LOCAL_FILES = 0x80;
inline constexpr std::uint32_t CLIENT_PROTOCOL_41 = 0x200;
inline constexpr std::uint32_t CLIENT_SSL = 0x800;
inline constexpr std::uint32_t CLIENT_TRANSACTIONS = 0x2000;
inline constexpr std::uint32_t CLIENT_SECURE_CONNECTION = 0x8000;
inline constexpr std::uint32_t CLIENT_MULTI_STATEMENTS = 0x10000;
inline constexpr std::uint32_t CLIENT_MULTI_RESULTS = 0x20000;
// The flags every handshake reply carries.
inline constexpr std::uint32_t kFixedClientFlags = 0x3A285;

// Server status bits.
inline constexpr std::uint16_t SERVER_STATUS_IN_TRANS = 1;
inline constexpr std::uint16_t SERVER_STATUS_AUTOCOMMIT = 2;
inline constexpr std::uint16_t SERVER_MORE_RESULTS_EXISTS = 8;

// Commands.
inline constexpr std::uint8_t COM_QUIT = 1;
inline constexpr std::uint8_t COM_INIT_DB = 2;
inline constexpr std::uint8_t COM_QUERY = 3;
inline constexpr std::uint8_t COM_PROCESS_KILL = 12;
inline constexpr std::uint8_t COM_PING = 14;

inline constexpr std::uint8_t kProtocolVersion = 10;
inline constexpr std::uint32_t kMaxPacketAnnounced = 0x40000000;
inline constexpr std::uint8_t kCharsetAnnounced = 8;

// Column types, the type byte of a column definition.
enum class MySqlColumnType : std::uint8_t {
  kDecimal = 0,
  kTiny = 1,
  kShort = 2,
  kLong = 3,
  kFloat = 4,
  kDouble = 5,
  kNull = 6,
  kTimestamp = 7,
  kLongLong = 8,
  kInt24 = 9,
  kDate = 10,
  kTime = 11,
  kDateTime = 12,
  kYear = 13,
  kNewDate = 14,
  kVarChar = 15,
  kBit = 16,
  kNewDecimal = 246,
  kEnum = 247,
  kSet = 248,
  kTinyBlob = 249,
  kMediumBlob = 250,
  kLongBlob = 251,
  kBlob = 252,
  kVarString = 253,
  kString = 254,
  kGeometry = 255,
};

// Column flags.
inline constexpr std::uint32_t UNSIGNED_FLAG = 32;
inline constexpr std::uint32_t BINARY_FLAG = 128;

// The character set number of binary data (a column's charsetnr).
inline constexpr std::uint32_t kBinaryCharset = 63;

// Protocol kinds (mysql_options option 9).
enum class ProtocolKind { kDefault = 0, kTcp = 1, kSocket = 2, kPipe = 3, kMemory = 4, kSsl = 5 };

// Result states.
enum class ResultState { kReady = 0, kAnnounced = 1, kReading = 2 };

using Sha1Digest = std::array<std::uint8_t, 20>;
Sha1Digest Sha1(std::string_view bytes);

// stage1 XOR SHA-1(scramble + SHA-1(stage1)), stage1 = SHA-1(password).
Sha1Digest Scramble41(std::string_view password, std::string_view scramble20);
// The 8 characters of the protocol-3.23 scramble of `password` with the first 8 bytes
// of `scramble`.
std::string Scramble323(std::string_view password, std::string_view scramble);

struct TMySqlFieldInfo {
  std::string name;
  std::string org_name;
  std::string table;
  std::string org_table;
  std::string schema;
  std::string default_value;
  std::uint32_t length = 0;
  std::uint32_t decimals = 0;
  std::uint32_t flags = 0;
  std::uint32_t charsetnr = 0;
  std::uint8_t type = 0;  // a MySqlColumnType, or a byte no type has
  bool HasType(MySqlColumnType t) const { return type == static_cast<std::uint8_t>(t); }
};

class TMySqlSession;

// One result being read row by row. The values of the current row point into the
// session's packet buffer and stay valid until the next fetch.
class TMySqlResultSet {
 public:
  TMySqlResultSet(TMySqlSession* session, std::vector<TMySqlFieldInfo> fields);

  TMySqlSession* Session() const { return session_; }
  std::size_t FieldCount() const { return fields_.size(); }
  const std::vector<TMySqlFieldInfo>& Fields() const { return fields_; }
  std::uint64_t RowCount() const { return row_count_; }
  bool Eof() const { return eof_; }
  // Values of the current row.
  const std::uint8_t* Value(std::size_t column) const;
  std::size_t Length(std::size_t column) const { return lengths_[column]; }
  bool IsNull(std::size_t column) const { return nulls_[column] != 0; }

 private:
  friend class TMySqlSession;
  TMySqlSession* session_;
  std::vector<TMySqlFieldInfo> fields_;
  std::uint64_t row_count_ = 0;
  bool eof_ = false;
  std::vector<std::size_t> offsets_;
  std::vector<std::size_t> lengths_;
  std::vector<std::uint8_t> nulls_;
};

class TMySqlSession {
 public:
  using VioFactory = std::function<std::unique_ptr<TCRVio>(const std::string& host, int port)>;

  // Without a factory the session speaks TCP (TCRVioTcp).
  explicit TMySqlSession(VioFactory factory = nullptr);
  ~TMySqlSession();
  TMySqlSession(const TMySqlSession&) = delete;
  TMySqlSession& operator=(const TMySqlSession&) = delete;

  // --- options --------------------------------------------------------------------------
  void SetConnectTimeout(int seconds) { connect_timeout_ = seconds; }
  void SetReadTimeout(int seconds) { read_timeout_ = seconds; }
  int ReadTimeout() const { return read_timeout_; }
  void SetProtocol(ProtocolKind kind) { protocol_ = kind; }

  // Handshake and authentication. Throws EMySqlException.
  void Connect(const std::string& host, const std::string& user, const std::string& password,
               const std::string& schema, int port, std::uint32_t client_flags);
  // COM_QUIT without a reply, then the transport is closed; errors are swallowed. Once.
  void Close();
  bool Closed() const { return closed_; }

  // REQUIRES: result state ready; otherwise 2014.
  void SendCommand(std::uint8_t command, const std::uint8_t* payload, std::size_t count,
                   bool skip_reply);
  void SelectDb(const std::string& schema);
  void Ping();
  void Kill(std::uint32_t thread_id);

  // COM_QUERY with the statement as payload, then ReadQueryResult.
  void Query(const std::uint8_t* statement, std::size_t count);
  void SendQuery(const std::uint8_t* statement, std::size_t count);
  void ReadQueryResult();

  std::unique_ptr<TMySqlResultSet> UseResult();
  // False at the end of the rows.
  bool FetchRow(TMySqlResultSet& result);
  void FreeResult(TMySqlResultSet& result);
  // 0 when another result was read, -1 when there is none.
  int NextResult();
  bool MoreResults() const { return (server_status_ & SERVER_MORE_RESULTS_EXISTS) != 0; }

  // --- state ----------------------------------------------------------------------------
  std::uint32_t ClientFlags() const { return client_flags_; }
  std::uint16_t ServerCapabilities() const { return server_capabilities_; }
  std::uint8_t ServerCharset() const { return server_charset_; }
  std::uint16_t ServerStatus() const { return server_status_; }
  const std::string& ServerVersion() const { return server_version_; }
  std::uint32_t ThreadId() const { return thread_id_; }
  const std::string& HostInfo() const { return host_info_; }
  const std::string& Schema() const { return schema_; }
  std::uint64_t FieldCount() const { return field_count_; }
  std::uint64_t AffectedRows() const { return affected_rows_; }
  std::uint64_t InsertId() const { return insert_id_; }
  std::uint16_t WarningCount() const { return warning_count_; }
  const std::string& Info() const { return info_; }
  std::uint64_t ExtraInfo() const { return extra_info_; }
  ResultState State() const { return state_; }
  // After a failure while a result was read: the session takes commands again.
  void AbandonResult() { state_ = ResultState::kReady; }
  TMySqlNet* Net() { return net_.get(); }

  // The call table's last error: 0 and empty after a call that succeeded.
  int LastErrno() const { return last_errno_; }
  const std::string& LastErrorText() const { return last_error_; }
  void SetLastError(int code, std::string text) {
    last_errno_ = code;
    last_error_ = std::move(text);
  }

 private:
  void ReadGreeting();
  void SendHandshakeReply(const std::string& password);
  void ReadAuthAnswer(const std::string& password);
  void ReadColumnDefinitions();
  TMySqlFieldInfo ParseColumnDefinition();
  void ReadEofStatus();
  void RefuseLocalFile();
  [[noreturn]] void RaiseOutOfSync() const;

  VioFactory factory_;
  std::unique_ptr<TCRVio> vio_;
  std::unique_ptr<TMySqlNet> net_;

  std::string host_, user_, schema_, host_info_;
  int port_ = kDefaultMySqlPort;
  int connect_timeout_ = 0;
  int read_timeout_ = 0;
  ProtocolKind protocol_ = ProtocolKind::kDefault;

  std::uint32_t client_flags_ = 0;
  std::uint16_t server_capabilities_ = 0;
  std::uint8_t server_charset_ = 0;
  std::uint16_t server_status_ = SERVER_STATUS_AUTOCOMMIT;
  std::string server_version_;
  std::uint32_t thread_id_ = 0;
  std::string scramble_;  // 8 or 20 bytes
  bool has_scramble20_ = false;

  std::uint64_t field_count_ = 0;
  std::uint64_t affected_rows_ = 0;
  std::uint64_t insert_id_ = 0;
  std::uint16_t warning_count_ = 0;
  std::string info_;
  std::uint64_t extra_info_ = 0;
  ResultState state_ = ResultState::kReady;
  std::vector<TMySqlFieldInfo> fields_;
  bool has_fields_ = false;
  bool closed_ = false;
  int last_errno_ = 0;
  std::string last_error_;
};

}  // namespace kalvira
