#include "dbclient/vio.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "dbclient/my_errors.h"

namespace kalvira {

namespace {

constexpr int kErrorCodeUnknownHost = 2005;

void Pause10ms() {
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace

int WsaErrorCode(int posix_errno) {
  switch (posix_errno) {
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
      return 10024;
    case EAGAIN:
      return 10035;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EMSGSIZE:
      return 10040;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
      return 10054;
    case ENOBUFS:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case EPIPE:
      return 10058;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    default:
      return posix_errno;
  }
}

TCRVioTcp::TCRVioTcp(std::string host, int port) : host_(std::move(host)), port_(port) {}

TCRVioTcp::~TCRVioTcp() {
  Close();
}

void TCRVioTcp::Connect() {
  Close();
  read_ahead_.assign(kReadAheadSize, 0);
  read_ahead_fill_ = read_ahead_pos_ = 0;
  last_error_text_.clear();
  const std::string host = host_.empty() ? "localhost" : host_;

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port_));
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
      throw SocketException(kErrorCodeUnknownHost, my_messages::kUnknownHost);
    }
    address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }

  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) throw SocketException(kErrorCodeUnknownHost, my_messages::kCannotCreateSocket);

  try {
    // The connect is bounded by the receive time-out (the connection time-out at this
    // point), so an address that swallows SYNs cannot block the caller for minutes.
    const int flags = fcntl(socket_, F_GETFL, 0);
    fcntl(socket_, F_SETFL, flags | O_NONBLOCK);
    int error = 0;
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      error = errno;
      if (error == EINPROGRESS) {
        pollfd pfd{socket_, POLLOUT, 0};
        const int timeout_ms = receive_timeout_ > 0 ? receive_timeout_ * 1000 : -1;
        int ready;
        do {
          ready = ::poll(&pfd, 1, timeout_ms);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
          error = ETIMEDOUT;
        } else if (ready < 0) {
          error = errno;
        } else {
          socklen_t length = sizeof error;
          if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        }
      }
    }
    if (error != 0) {
      const int code = WsaErrorCode(error);
      last_error_text_ = my_messages::SocketError("connect", code);
      throw SocketException(2003, last_error_text_);
    }
    fcntl(socket_, F_SETFL, flags);
    const int one = 1;
    if (setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0 ||
        setsockopt(socket_, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one) != 0) {
      throw SocketException(WsaErrorCode(errno), my_messages::kSocketOptionFailed);
    }
    ApplyReceiveTimeout();
  } catch (...) {
    ::close(socket_);
    socket_ = -1;
    throw;
  }
}

void TCRVioTcp::Close() {
  if (socket_ < 0) return;
  ::shutdown(socket_, SHUT_RDWR);
  ::close(socket_);
  socket_ = -1;
  read_ahead_fill_ = read_ahead_pos_ = 0;
}

void TCRVioTcp::SetReceiveTimeout(int seconds) {
  if (seconds == receive_timeout_) return;
  receive_timeout_ = seconds;
  if (socket_ >= 0) ApplyReceiveTimeout();
}

void TCRVioTcp::ApplyReceiveTimeout() {
  timeval tv{};
  tv.tv_sec = receive_timeout_;
  if (setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
    throw SocketException(WsaErrorCode(errno), my_messages::kReceiveTimeoutFailed);
  }
}

void TCRVioTcp::StoreError(const char* what, int posix_errno) {
  // A receive time-out shows up as EAGAIN here; Windows Sockets reports it as
  // WSAETIMEDOUT.
  const int code =
      (posix_errno == EAGAIN || posix_errno == EWOULDBLOCK) ? 10060 : WsaErrorCode(posix_errno);
  last_error_text_ = my_messages::SocketError(what, code);
}

std::size_t TCRVioTcp::Read(std::uint8_t* data, std::size_t count) {
  if (socket_ < 0) return 0;
  std::size_t done = 0;
  auto serve_from_buffer = [&] {
    const std::size_t n = std::min(count - done, read_ahead_fill_ - read_ahead_pos_);
    if (n > 0) {
      std::memcpy(data + done, read_ahead_.data() + read_ahead_pos_, n);
      read_ahead_pos_ += n;
      done += n;
    }
  };
  serve_from_buffer();
  if (done == count) return done;

  auto receive = [&](std::uint8_t* into, std::size_t size) -> ssize_t {
    ssize_t got;
    do {
      got = ::recv(socket_, into, size, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      StoreError("read", errno);
    } else {
      last_error_text_.clear();
    }
    return got;
  };

  if (count - done < kReadAheadThreshold) {
    const ssize_t got = receive(read_ahead_.data(), read_ahead_.size());
    if (got <= 0) {
      Pause10ms();
      return done;
    }
    read_ahead_fill_ = static_cast<std::size_t>(got);
    read_ahead_pos_ = 0;
    serve_from_buffer();
  }
  while (done < count) {
    const ssize_t got = receive(data + done, count - done);
    if (got <= 0) {
      Pause10ms();
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::size_t TCRVioTcp::Write(const std::uint8_t* data, std::size_t count) {
  if (socket_ < 0) return 0;
  std::size_t done = 0;
  int idle_retries = 0;
  while (done < count) {
    const ssize_t sent = ::send(socket_, data + done, count - done, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      StoreError("write", errno);
      break;
    }
    last_error_text_.clear();
    if (sent == 0) {
      if (++idle_retries > 2) break;
      Pause10ms();
      continue;
    }
    done += static_cast<std::size_t>(sent);
  }
  return done;
}

}  // namespace kalvira
