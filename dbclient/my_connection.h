// TMyConnection: one connection to the service's MySQL server, spoken over TCP with the
// client's own protocol implementation. It holds the address, the account, the schema
// and the character set; TMyQuery objects bound to it run statements on it.
//
// The connection opens by itself on the first TMyQuery::Execute (or SetConnected(true))
// and stays open: assigning a setting its current value changes nothing, a different
// Server/Port/Username/Password closes it first. A lost or refused connection (error
// codes 1053, 2003, 2006, 2013) closes it as well and the next Execute connects afresh.
// Connecting sends "SET NAMES " followed by Options().Charset() when that is not empty.
//
// Text is UTF-8 here; on the wire it is Windows-1251 (or UTF-8 with UseUnicode).
// Failures raise EMyError / EDatabaseError (dbclient/my_errors.h).
//
// Threads: not thread-safe; every call runs on, and blocks, the calling thread.
// Ownership: queries refer to the connection; destroying the connection detaches them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/service_url.h"
#include "dbclient/my_errors.h"

namespace kalvira {

class TCRVio;
class TMyConnection;
class TMyQuery;
class TMySQLConnection;

// Options of a connection. Changing one while the connection is open raises
// EDatabaseError "Cannot perform this operation on an open connection".
class TMyConnectionOptions {
 public:
  const std::string& Charset() const { return charset_; }
  void SetCharset(const std::string& value);
  bool UseUnicode() const { return use_unicode_; }
  void SetUseUnicode(bool value);
  bool Direct() const { return direct_; }
  void SetDirect(bool value);
  bool Compress() const { return compress_; }
  void SetCompress(bool value);
  bool OptimizedBigInt() const { return optimized_big_int_; }
  void SetOptimizedBigInt(bool value);

 private:
  friend class TMyConnection;
  explicit TMyConnectionOptions(TMyConnection* owner) : owner_(owner) {}
  void CheckClosed(bool differs) const;

  TMyConnection* owner_;
  std::string charset_;
  bool use_unicode_ = false;
  bool direct_ = true;
  bool compress_ = false;
  bool optimized_big_int_ = false;
};

class TMyConnection {
 public:
  // Makes the byte transport of a new connection; the default is TCP to host:port.
  // For tests that play the server's side in memory.
  using TransportFactory =
      std::function<std::unique_ptr<TCRVio>(const std::string& host, int port)>;

  static constexpr int kDefaultConnectionTimeout = 15;

  // `name` is the component name used in error messages.
  explicit TMyConnection(std::string name = "MyConnection1");
  // Disconnects (COM_QUIT); fatal errors while doing so are swallowed.
  ~TMyConnection();
  TMyConnection(const TMyConnection&) = delete;
  TMyConnection& operator=(const TMyConnection&) = delete;

  const std::string& Name() const { return name_; }

  // Empty means "localhost".
  const std::string& Server() const { return server_; }
  void SetServer(const std::string& value);
  int Port() const { return port_; }
  void SetPort(int value);
  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& value);
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value);
  // Sent in the handshake; while open, selected at once (COM_INIT_DB).
  const std::string& Database() const { return database_; }
  void SetDatabase(const std::string& value);
  // Seconds: bounds the TCP connect, the handshake and "SET NAMES".
  int ConnectionTimeout() const { return connection_timeout_; }
  void SetConnectionTimeout(int seconds) { connection_timeout_ = seconds; }

  TMyConnectionOptions& Options() { return options_; }
  const TMyConnectionOptions& Options() const { return options_; }

  bool Connected() const;
  // true connects (raises on failure, the connection stays closed), false disconnects.
  void SetConnected(bool value);
  void Connect() { SetConnected(true); }
  void Disconnect() { SetConnected(false); }

  // Of the open connection; empty / 0 when closed.
  std::string ServerVersion() const;
  std::uint32_t ThreadId() const;

  void SetTransportFactory(TransportFactory factory) { transport_factory_ = std::move(factory); }

 private:
  friend class TMyQuery;
  friend class TMyConnectionOptions;

  // The driver of the open connection, connecting first when closed.
  TMySQLConnection& Driver();
  void DoConnect();
  void DoDisconnect();
  void Attach(TMyQuery* query);
  void Detach(TMyQuery* query);

  std::string name_;
  std::string server_;
  int port_ = kDefaultMySqlPort;
  std::string username_;
  std::string password_;
  std::string database_;
  int connection_timeout_ = kDefaultConnectionTimeout;
  TMyConnectionOptions options_{this};
  TransportFactory transport_factory_;
  std::unique_ptr<TMySQLConnection> driver_;
  std::vector<TMyQuery*> queries_;
};

}  // namespace kalvira
