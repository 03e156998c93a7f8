// The packet layer of the MySQL client/server protocol (TMySqlNet), the protocol's
// internal exception EMySqlException and the client error table.
//
// Wire format of one packet: 3-byte little-endian payload length, 1-byte sequence
// number, payload. A logical packet of 16,777,215 bytes or more travels as chunks of
// exactly 0xFFFFFF bytes followed by one shorter (possibly empty) chunk. Length-encoded
// integers: 0..250 one byte; 251 NULL; 252, 253, 254 followed by 2, 3, 8 bytes.
//
// Every read checks the packet's length first: a reply that is cut short, or whose
// lengths point past its end, raises EMySqlException 2027 instead of reading beyond it.
//
// Threads: one TMySqlNet belongs to one session; one thread at a time.
// Internal to dbclient/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"
#include "dbclient/vio.h"

namespace kalvira {

// Client error codes this layer and the session raise.
enum ClientError : int {
  CR_UNKNOWN_ERROR = 2000,
  CR_CONN_HOST_ERROR = 2003,
  CR_UNKNOWN_HOST = 2005,
  CR_SERVER_GONE_ERROR = 2006,
  CR_VERSION_ERROR = 2007,
  CR_OUT_OF_MEMORY = 2008,
  CR_SERVER_HANDSHAKE_ERR = 2012,
  CR_SERVER_LOST = 2013,
  CR_COMMANDS_OUT_OF_SYNC = 2014,
  CR_NET_PACKET_TOO_LARGE = 2020,
  CR_MALFORMED_PACKET = 2027,
  CR_UNKNOWN_PROTOCOL = 2046,
};

// Server codes the client itself raises. Like every code outside the client table they
// have an empty table text, so their messages begin with CR LF and the detail.
inline constexpr int ER_NET_PACKETS_OUT_OF_ORDER = 1156;

// The table text of a client code 2000 to 2047, unformatted; empty for other codes.
std::string_view ClientErrorText(int code);

// A client or server error of the protocol layers. The message is the table text of the
// code (formatted by the raiser), then, when there is a detail, CR LF and the detail.
// Texts are 8-bit as received; the call table converts them.
class EMySqlException : public Exception {
 public:
  EMySqlException(int code, const std::string& message) : Exception(message), code_(code) {}
  int Code() const { return code_; }

  // The table text of `code` followed by CR LF and `detail` when it is not empty.
  static EMySqlException Make(int code, std::string_view detail = {});
  static EMySqlException WithText(int code, std::string_view text, std::string_view detail);

 private:
  int code_;
};

class TMySqlNet {
 public:
  static constexpr std::size_t kHeaderLength = 4;
  static constexpr std::size_t kMaxChunk = 0xFFFFFF;
  static constexpr std::size_t kInitialCapacity = 8192;
  // The largest logical packet accepted from the server; the client announces the same
  // maximum in the handshake.
  static constexpr std::size_t kMaxPacket = 0x40000000;
  static constexpr std::uint8_t kNullLength = 251;

  // `vio` must outlive this object.
  explicit TMySqlNet(TCRVio* vio);

  TCRVio* Vio() const { return vio_; }

  // --- building and sending -----------------------------------------------------------
  // Sequence numbers to 0 and the buffer emptied.
  void ResetCommand();
  // Buffer emptied; sequence numbers kept.
  void ResetBuffer();
  void AppendByte(std::uint8_t value);
  void Append16(std::uint32_t value);
  void Append24(std::uint32_t value);
  void Append32(std::uint32_t value);
  void AppendLengthEncoded(std::uint64_t value);
  void AppendFill(std::uint8_t value, std::size_t count);
  void AppendBytes(const void* data, std::size_t count);
  void AppendCString(std::string_view text);
  void DropLastByte();
  std::size_t BuiltLength() const { return out_.size() - kHeaderLength; }
  // Sends the buffered payload followed by `extra` as one logical packet; nothing when
  // both are empty. `extra` goes to the socket directly when it does not fit the buffer.
  void Flush(const std::uint8_t* extra = nullptr, std::size_t extra_count = 0);
  void SendEmptyPacket();
  std::uint8_t SequenceNumber() const { return sequence_; }

  // --- receiving and parsing ----------------------------------------------------------
  // Receives one logical packet; an error packet raises its error.
  void Receive();
  // Like Receive, but an error packet is returned like any other packet.
  void ReceiveRaw();
  const std::uint8_t* Payload() const { return in_.data(); }
  std::size_t PacketLength() const { return in_length_; }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return in_length_ - pos_; }
  void Seek(std::size_t pos);

  std::uint8_t ReadByte();
  std::uint16_t Read16();
  std::uint32_t Read24();
  std::uint32_t Read32();
  std::uint64_t Read64();
  // Sets `*is_null` for the NULL marker (the value is then 0).
  std::uint64_t ReadLengthEncoded(bool* is_null = nullptr);
  // The bytes up to a zero byte or the end of the packet; the zero is consumed.
  std::string ReadCString();
  std::string ReadBytes(std::size_t count);
  std::string ReadLengthEncodedString();
  void Skip(std::size_t count);

 private:
  void Need(std::size_t count) const;
  void WriteAll(const std::uint8_t* data, std::size_t count);
  void ReadAll(std::uint8_t* data, std::size_t count);
  void RaiseIfErrorPacket();

  TCRVio* vio_;
  std::vector<std::uint8_t> out_;  // 4 reserved header bytes, then the payload
  std::vector<std::uint8_t> in_;   // payload of the packet received last
  std::size_t in_length_ = 0;
  std::size_t pos_ = 0;
  std::uint8_t sequence_ = 0;
};

}  // namespace kalvira
