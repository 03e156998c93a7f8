#include "tests/dbclient/fake_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace kalvira::testing {

namespace {

bool ReadExactly(int fd, char* data, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::recv(fd, data + done, count - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return;
    done += static_cast<std::size_t>(sent);
  }
}

}  // namespace

FakeServer::FakeServer(std::vector<FakeStep> script) : script_(std::move(script)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 1) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("fake server: cannot listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

FakeServer::~FakeServer() {
  Join();
  if (listener_ >= 0) ::close(listener_);
}

void FakeServer::Join() {
  if (thread_.joinable()) thread_.join();
}

void FakeServer::Run() {
  pollfd pfd{listener_, POLLIN, 0};
  if (::poll(&pfd, 1, 60000) <= 0) return;
  const int fd = ::accept(listener_, nullptr, nullptr);
  if (fd < 0) return;
  timeval timeout{60, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  bool open = true;
  for (const FakeStep& step : script_) {
    if (step.kind == FakeStep::kSend) {
      WriteAll(fd, step.bytes);
    } else if (step.kind == FakeStep::kReceive) {
      char header[4];
      if (!ReadExactly(fd, header, 4)) break;
      const std::size_t length =
          static_cast<unsigned char>(header[0]) |
          (static_cast<std::size_t>(static_cast<unsigned char>(header[1])) << 8) |
          (static_cast<std::size_t>(static_cast<unsigned char>(header[2])) << 16);
      std::string packet(1 + length, '\0');
      packet[0] = header[3];
      if (!ReadExactly(fd, packet.data() + 1, length)) break;
      received_.push_back(std::move(packet));
    } else {
      ::shutdown(fd, SHUT_RDWR);
      open = false;
      break;
    }
  }
  if (open) {
    // Wait for the client to hang up (it sends COM_QUIT first).
    char sink[4096];
    while (true) {
      const ssize_t got = ::recv(fd, sink, sizeof sink, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
    }
  }
  ::close(fd);
}

std::string Le16(std::uint32_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string Le32(std::uint32_t value) {
  return Le16(value) + Le16(value >> 16);
}

std::string Packet(std::uint8_t sequence, const std::string& payload) {
  const std::size_t n = payload.size();
  std::string out = {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                     static_cast<char>((n >> 16) & 0xFF), static_cast<char>(sequence)};
  return out + payload;
}

std::string LengthEncoded(std::uint64_t value) {
  if (value <= 250) return std::string(1, static_cast<char>(value));
  if (value <= 0xFFFF) return "\xFC" + Le16(static_cast<std::uint32_t>(value));
  if (value <= 0xFFFFFF) {
    return "\xFD" + Le16(static_cast<std::uint32_t>(value)) +
           std::string(1, static_cast<char>(value >> 16));
  }
  return "\xFE" + Le32(static_cast<std::uint32_t>(value)) +
         Le32(static_cast<std::uint32_t>(value >> 32));
}

std::string LengthEncodedString(const std::string& text) {
  return LengthEncoded(text.size()) + text;
}

std::string Greeting(const std::string& version, std::uint32_t thread_id,
                     const std::string& scramble, std::uint16_t capabilities) {
  std::string out(1, '\x0A');
  out += version;
  out += '\0';
  out += Le32(thread_id);
  out += scramble.substr(0, 8);
  out += '\0';
  out += Le16(capabilities);
  out += '\x08';                 // character set
  out += Le16(2);                // status: autocommit
  out += std::string(13, '\0');  // filler
  if (scramble.size() >= 20) {
    out += scramble.substr(8, 12);
    out += '\0';
  }
  return out;
}

std::string OkPayload(std::uint64_t affected, std::uint64_t insert_id) {
  return std::string(1, '\0') + LengthEncoded(affected) + LengthEncoded(insert_id) + Le16(2) +
         Le16(0);
}

std::string EofPayload() {
  return std::string("\xFE\0\0\x02\0", 5);
}

std::string Column41(const std::string& name, MySqlColumnType type, std::uint32_t length,
                     std::uint16_t flags, std::uint16_t charset) {
  std::string out = LengthEncodedString("def") + LengthEncodedString("kalvira") +
                    LengthEncodedString("t") + LengthEncodedString("t") +
                    LengthEncodedString(name) + LengthEncodedString(name);
  out += '\x0C';
  out += Le16(charset);
  out += Le32(length);
  out += static_cast<char>(type);
  out += Le16(flags);
  out += '\0';
  out += std::string(2, '\0');
  return out;
}

std::string ResultSet(const std::vector<std::string>& columns,
                      const std::vector<std::string>& rows) {
  std::uint8_t seq = 1;
  std::string out = Packet(seq++, LengthEncoded(columns.size()));
  for (const std::string& column : columns) out += Packet(seq++, column);
  out += Packet(seq++, EofPayload());
  for (const std::string& row : rows) out += Packet(seq++, row);
  out += Packet(seq++, EofPayload());
  return out;
}

}  // namespace kalvira::testing
