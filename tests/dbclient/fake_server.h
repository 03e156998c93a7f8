// A scripted MySQL peer for tests: listens on 127.0.0.1 (port chosen by the system),
// accepts one client and plays a script of "send these bytes", "read one packet" and
// "close" steps, so a test can answer with exactly the bytes it wants, broken ones
// included. Also the packet builders the scripts use.
//
// Threads: the script runs on a thread of its own; Received() may be read after Join().
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "dbclient/my_session.h"

namespace kalvira::testing {

struct FakeStep {
  enum Kind { kSend, kReceive, kClose } kind;
  std::string bytes;  // for kSend
};

inline FakeStep Send(std::string bytes) {
  return {FakeStep::kSend, std::move(bytes)};
}
inline FakeStep ReceivePacket() {
  return {FakeStep::kReceive, {}};
}
inline FakeStep CloseConnection() {
  return {FakeStep::kClose, {}};
}

class FakeServer {
 public:
  explicit FakeServer(std::vector<FakeStep> script);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int Port() const { return port_; }
  // Waits for the script to end (after the client closed, or the script closed).
  void Join();
  // Packets the client sent, each as sequence number byte followed by the payload.
  const std::vector<std::string>& Received() const { return received_; }

 private:
  void Run();

  int listener_ = -1;
  int port_ = 0;
  std::vector<FakeStep> script_;
  std::vector<std::string> received_;
  std::thread thread_;
};

// --- packet builders --------------------------------------------------------------------
std::string Packet(std::uint8_t sequence, const std::string& payload);
std::string LengthEncoded(std::uint64_t value);
std::string LengthEncodedString(const std::string& text);
std::string Le16(std::uint32_t value);
std::string Le32(std::uint32_t value);

// A protocol-10 greeting payload; `scramble` 8 or 20 bytes.
std::string Greeting(const std::string& version, std::uint32_t thread_id,
                     const std::string& scramble, std::uint16_t capabilities);
// OK packet payload with the autocommit status.
std::string OkPayload(std::uint64_t affected = 0, std::uint64_t insert_id = 0);
std::string EofPayload();
// A protocol-4.1 column definition payload.
std::string Column41(const std::string& name, MySqlColumnType type, std::uint32_t length,
                     std::uint16_t flags = 0, std::uint16_t charset = 51);
// A whole result set as packets numbered from 1: count, definitions, EOF, rows, EOF.
std::string ResultSet(const std::vector<std::string>& columns,
                      const std::vector<std::string>& rows);

}  // namespace kalvira::testing
