#include "dbclient/my_net.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace kalvira {

namespace {

constexpr std::array<std::string_view, 48> kClientErrors = {
    "Unknown MySQL error",
    "Can't create UNIX socket (%d)",
    "Can't connect to local MySQL server through socket '%-.64s' (%d)",
    "Can't connect to MySQL server on '%s' (%d)",
    "Can't create TCP/IP socket (%d)",
    "Unknown MySQL Server Host '%-.64s' (%d)",
    "MySQL server has gone away",
    "Protocol mismatch. Server Version = %d Client Version = %d",
    "MySQL client run out of memory",
    "Wrong host info",
    "Localhost via UNIX socket",
    "%-.64s via TCP/IP",
    "Error in server handshake",
    "Lost connection to MySQL server during query",
    "Commands out of sync;  You can't run this command now",
    "%-.64s via named pipe",
    "Can't wait for named pipe to host: %s  pipe: %s (%s)",
    "Can't open named pipe to host: %s  pipe: %s (%s)",
    "Can't set state of named pipe to host: %s  pipe: %s (%s)",
    "Can't initialize character set %s (path: %s)",
    "Got packet bigger than 'max_allowed_packet'",
    "Embedded server",
    "Error on SHOW SLAVE STATUS:",
    "Error on SHOW SLAVE HOSTS:",
    "Error connecting to slave:",
    "Error connecting to master:",
    "SSL connection error",
    "Malformed packet",
    "Invalid use of null pointer",
    "Statement not prepared",
    "Not all parameters data supplied",
    "Data truncated",
    "No parameters exists in the statement",
    "Invalid parameter number",
    "Can't send long data for non string or binary data types (parameter: %s)",
    "Using unsupported buffer type: %s  (parameter: %s)",
    "Shared memory (%s)",
    "Can't open shared memory. Request event don't create  (%s)",
    "Can't open shared memory. Answer event don't create  (%s)",
    "Can't open shared memory. File mapping don't create  (%s)",
    "Can't open shared memory. Map of memory don't create  (%s)",
    "Can't open shared memory. File mapping don't create for client (%s)",
    "Can't open shared memory. Map of memory don't create for client (%s)",
    "Can't open shared memory. %s event don't create for client (%s)",
    "Can't open shared memory. Server abandoded and don't sent the answer event (%s)",
    "Can't open shared memory. Can't send the request event to server (%s)",
    "Wrong or unknown protocol",
    "Invalid connection handle",
};

}  // namespace

std::string_view ClientErrorText(int code) {
  if (code < 2000 || code > 2047) return {};
  return kClientErrors[static_cast<std::size_t>(code - 2000)];
}

EMySqlException EMySqlException::WithText(int code, std::string_view text,
                                          std::string_view detail) {
  std::string message(text);
  if (!detail.empty()) {
    message += "\r\n";
    message += detail;
  }
  return EMySqlException(code, message);
}

EMySqlException EMySqlException::Make(int code, std::string_view detail) {
  return WithText(code, ClientErrorText(code), detail);
}

TMySqlNet::TMySqlNet(TCRVio* vio) : vio_(vio) {
  out_.reserve(kInitialCapacity);
  out_.assign(kHeaderLength, 0);
  in_.resize(kInitialCapacity);
}

void TMySqlNet::ResetCommand() {
  sequence_ = 0;
  ResetBuffer();
}

void TMySqlNet::ResetBuffer() {
  out_.resize(kHeaderLength);
}

void TMySqlNet::AppendByte(std::uint8_t value) {
  out_.push_back(value);
}

void TMySqlNet::Append16(std::uint32_t value) {
  AppendByte(static_cast<std::uint8_t>(value));
  AppendByte(static_cast<std::uint8_t>(value >> 8));
}

void TMySqlNet::Append24(std::uint32_t value) {
  Append16(value);
  AppendByte(static_cast<std::uint8_t>(value >> 16));
}

void TMySqlNet::Append32(std::uint32_t value) {
  Append16(value);
  Append16(value >> 16);
}

void TMySqlNet::AppendLengthEncoded(std::uint64_t value) {
  if (value <= 250) {
    AppendByte(static_cast<std::uint8_t>(value));
  } else if (value <= 0xFFFF) {
    AppendByte(252);
    Append16(static_cast<std::uint32_t>(value));
  } else if (value > 0xFFFFFF) {
    AppendByte(254);
    Append32(static_cast<std::uint32_t>(value));
    Append32(static_cast<std::uint32_t>(value >> 32));
  } else {
    AppendByte(253);
    Append24(static_cast<std::uint32_t>(value));
  }
}

void TMySqlNet::AppendFill(std::uint8_t value, std::size_t count) {
  out_.insert(out_.end(), count, value);
}

void TMySqlNet::AppendBytes(const void* data, std::size_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out_.insert(out_.end(), bytes, bytes + count);
}

void TMySqlNet::AppendCString(std::string_view text) {
  AppendBytes(text.data(), text.size());
  AppendByte(0);
}

void TMySqlNet::DropLastByte() {
  if (out_.size() > kHeaderLength) out_.pop_back();
}

void TMySqlNet::WriteAll(const std::uint8_t* data, std::size_t count) {
  if (count == 0) return;
  if (vio_->Write(data, count) != count) {
    throw EMySqlException::Make(CR_SERVER_LOST, vio_->LastErrorText());
  }
}

void TMySqlNet::ReadAll(std::uint8_t* data, std::size_t count) {
  if (count == 0) return;
  if (vio_->Read(data, count) != count) {
    throw EMySqlException::Make(CR_SERVER_LOST, vio_->LastErrorText());
  }
}

void TMySqlNet::Flush(const std::uint8_t* extra, std::size_t extra_count) {
  std::size_t buffered = out_.size() - kHeaderLength;
  if (extra_count > 0 && buffered + extra_count <= kInitialCapacity) {
    out_.insert(out_.end(), extra, extra + extra_count);
    buffered += extra_count;
    extra_count = 0;
  }
  const std::size_t total = buffered + extra_count;
  if (total == 0) return;

  std::size_t sent = 0;  // payload bytes sent so far (buffered part first, then extra)
  bool first = true;
  while (true) {
    const std::size_t chunk = std::min(total - sent, kMaxChunk);
    std::uint8_t header[kHeaderLength] = {static_cast<std::uint8_t>(chunk),
                                          static_cast<std::uint8_t>(chunk >> 8),
                                          static_cast<std::uint8_t>(chunk >> 16), sequence_++};
    std::size_t left = chunk;
    if (first && chunk >= buffered) {
      // Header and the whole buffered part in one write.
      std::memcpy(out_.data(), header, kHeaderLength);
      WriteAll(out_.data(), kHeaderLength + buffered);
      sent += buffered;
      left -= buffered;
    } else {
      WriteAll(header, kHeaderLength);
    }
    first = false;
    while (left > 0) {
      const std::uint8_t* from;
      std::size_t n;
      if (sent < buffered) {
        from = out_.data() + kHeaderLength + sent;
        n = std::min(left, buffered - sent);
      } else {
        from = extra + (sent - buffered);
        n = left;
      }
      WriteAll(from, n);
      sent += n;
      left -= n;
    }
    if (sent == total) {
      // A payload that is an exact multiple of the chunk size ends with an empty packet.
      if (chunk == kMaxChunk) SendEmptyPacket();
      break;
    }
  }
  ResetBuffer();
}

void TMySqlNet::SendEmptyPacket() {
  const std::uint8_t header[kHeaderLength] = {0, 0, 0, sequence_++};
  WriteAll(header, kHeaderLength);
}

void TMySqlNet::ReceiveRaw() {
  in_length_ = 0;
  pos_ = 0;
  while (true) {
    std::uint8_t header[kHeaderLength];
    ReadAll(header, kHeaderLength);
    const std::size_t length =
        header[0] | (std::size_t{header[1]} << 8) | (std::size_t{header[2]} << 16);
    if (header[3] != sequence_) {
      char text[96];
      std::snprintf(text, sizeof text,
                    "ReceiveHeader: Net packets out of order: received[%d], expected[%d]",
                    header[3], sequence_);
      // A server code has no table text: the message is CR LF and the detail.
      throw EMySqlException::Make(ER_NET_PACKETS_OUT_OF_ORDER, text);
    }
    sequence_ = static_cast<std::uint8_t>(header[3] + 1);
    if (in_length_ + length > kMaxPacket) throw EMySqlException::Make(CR_NET_PACKET_TOO_LARGE);
    // The buffer grows only as the bytes arrive, so a declared length that the peer
    // never delivers costs no memory.
    std::size_t left = length;
    while (left > 0) {
      const std::size_t piece = std::min<std::size_t>(left, 1 << 20);
      if (in_.size() < in_length_ + piece) {
        in_.resize(std::max(in_length_ + piece, std::min(in_.size() * 2, kMaxPacket)));
      }
      ReadAll(in_.data() + in_length_, piece);
      in_length_ += piece;
      left -= piece;
    }
    if (length != kMaxChunk) break;
  }
}

void TMySqlNet::Receive() {
  ReceiveRaw();
  RaiseIfErrorPacket();
}

void TMySqlNet::RaiseIfErrorPacket() {
  if (in_length_ == 0 || in_[0] != 255) return;
  pos_ = 1;
  const int code = Read16();
  std::string message = ReadCString();
  pos_ = 0;
  throw EMySqlException::Make(code, message);
}

void TMySqlNet::Seek(std::size_t pos) {
  if (pos > in_length_) throw EMySqlException::Make(CR_MALFORMED_PACKET);
  pos_ = pos;
}

void TMySqlNet::Need(std::size_t count) const {
  if (count > in_length_ - pos_) throw EMySqlException::Make(CR_MALFORMED_PACKET);
}

std::uint8_t TMySqlNet::ReadByte() {
  Need(1);
  return in_[pos_++];
}

std::uint16_t TMySqlNet::Read16() {
  Need(2);
  const std::uint16_t value = static_cast<std::uint16_t>(in_[pos_] | (in_[pos_ + 1] << 8));
  pos_ += 2;
  return value;
}

std::uint32_t TMySqlNet::Read24() {
  Need(3);
  const std::uint32_t value =
      in_[pos_] | (std::uint32_t{in_[pos_ + 1]} << 8) | (std::uint32_t{in_[pos_ + 2]} << 16);
  pos_ += 3;
  return value;
}

std::uint32_t TMySqlNet::Read32() {
  Need(4);
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | in_[pos_ + static_cast<std::size_t>(i)];
  pos_ += 4;
  return value;
}

std::uint64_t TMySqlNet::Read64() {
  const std::uint64_t low = Read32();
  return low | (std::uint64_t{Read32()} << 32);
}

std::uint64_t TMySqlNet::ReadLengthEncoded(bool* is_null) {
  if (is_null != nullptr) *is_null = false;
  const std::uint8_t first = ReadByte();
  if (first <= 250) return first;
  switch (first) {
    case kNullLength:
      if (is_null != nullptr) *is_null = true;
      return 0;
    case 252:
      return Read16();
    case 253:
      return Read24();
    case 254:
      return Read64();
    default:
      throw EMySqlException::Make(CR_MALFORMED_PACKET);
  }
}

std::string TMySqlNet::ReadCString() {
  const auto* begin = in_.data() + pos_;
  const auto* end = in_.data() + in_length_;
  const auto* zero = std::find(begin, end, 0);
  std::string text(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(zero - begin));
  pos_ += text.size() + (zero != end ? 1 : 0);
  return text;
}

std::string TMySqlNet::ReadBytes(std::size_t count) {
  Need(count);
  std::string bytes(reinterpret_cast<const char*>(in_.data() + pos_), count);
  pos_ += count;
  return bytes;
}

std::string TMySqlNet::ReadLengthEncodedString() {
  const std::uint64_t length = ReadLengthEncoded();
  if (length > Remaining()) throw EMySqlException::Make(CR_MALFORMED_PACKET);
  return ReadBytes(static_cast<std::size_t>(length));
}

void TMySqlNet::Skip(std::size_t count) {
  Need(count);
  pos_ += count;
}

}  // namespace kalvira
