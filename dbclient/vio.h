// The byte transport under the packet layer: TCRVio is the small interface the packet
// layer reads from and writes to, TCRVioTcp its real implementation over a blocking
// IPv4 TCP socket. Tests and the fuzzer put their own TCRVio behind a session.
//
// Threads: one transport belongs to one session and is used by one thread at a time.
// Internal to dbclient/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/exception.h"

namespace kalvira {

// A failed socket call. `code` is the Windows Sockets number of the failure (see
// WsaErrorCode), or a client code such as 2005 for a failed name resolution. Never
// reaches the program: the session turns it into EMySqlException.
class SocketException : public Exception {
 public:
  SocketException(int code, const std::string& message) : Exception(message), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// The Windows Sockets error number that corresponds to a POSIX errno value, so error
// texts carry the numbers the service operators know (ECONNREFUSED gives 10061,
// ETIMEDOUT 10060...). Values without a counterpart are returned unchanged.
int WsaErrorCode(int posix_errno);

class TCRVio {
 public:
  virtual ~TCRVio() = default;

  // Throws SocketException on failure; the transport is closed afterwards.
  virtual void Connect() = 0;
  // Shuts the connection down in both directions and closes it; harmless when closed.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Seconds; 0 means none. Equal values change nothing. Outside a connect a failing
  // socket option raises SocketException.
  virtual void SetReceiveTimeout(int seconds) = 0;
  // Reads exactly `count` bytes unless the peer closes, the receive time-out expires or
  // the socket fails; returns the count actually read.
  virtual std::size_t Read(std::uint8_t* data, std::size_t count) = 0;
  // Returns the count actually written.
  virtual std::size_t Write(const std::uint8_t* data, std::size_t count) = 0;
  // Text of the last failed socket call; empty after a successful one.
  virtual const std::string& LastErrorText() const = 0;
};

class TCRVioTcp : public TCRVio {
 public:
  // `host` is 8-bit text: a dotted IPv4 address or a host name; empty means localhost.
  TCRVioTcp(std::string host, int port);
  ~TCRVioTcp() override;
  TCRVioTcp(const TCRVioTcp&) = delete;
  TCRVioTcp& operator=(const TCRVioTcp&) = delete;

  void Connect() override;
  void Close() override;
  bool IsOpen() const override { return socket_ >= 0; }
  void SetReceiveTimeout(int seconds) override;
  std::size_t Read(std::uint8_t* data, std::size_t count) override;
  std::size_t Write(const std::uint8_t* data, std::size_t count) override;
  const std::string& LastErrorText() const override { return last_error_text_; }

  static constexpr std::size_t kReadAheadSize = 16384;
  // Requests shorter than this go through the read-ahead buffer.
  static constexpr std::size_t kReadAheadThreshold = 2048;

 private:
  void ApplyReceiveTimeout();
  void StoreError(const char* what, int posix_errno);

  std::string host_;
  int port_;
  int socket_ = -1;
  int receive_timeout_ = 30;
  std::string last_error_text_;
  std::vector<std::uint8_t> read_ahead_;
  std::size_t read_ahead_fill_ = 0;
  std::size_t read_ahead_pos_ = 0;
};

}  // namespace kalvira
