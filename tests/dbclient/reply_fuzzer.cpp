// Fuzz target: the input plays the server's side of a connection (greeting, answers to
// the handshake, replies to two statements) through an in-memory transport. Whatever the
// bytes, the client must end with a value or a clean exception: no crash, no hang, no
// unbounded allocation.
//
// The first input byte chooses whether a valid handshake transcript is put in front of
// the rest, so the fuzzer also spends its time on query replies.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "dbclient/my_connection.h"
#include "dbclient/my_query.h"
#include "dbclient/vio.h"

namespace {

using kalvira::TCRVio;

class MemoryVio : public TCRVio {
 public:
  MemoryVio(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  void Connect() override { open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  void SetReceiveTimeout(int) override {}
  std::size_t Read(std::uint8_t* out, std::size_t count) override {
    const std::size_t n = std::min(count, size_ - pos_);
    if (n > 0) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return n;
  }
  std::size_t Write(const std::uint8_t*, std::size_t count) override { return open_ ? count : 0; }
  const std::string& LastErrorText() const override { return error_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool open_ = false;
  std::string error_;
};

std::string Packet(std::uint8_t sequence, const std::string& payload) {
  const std::size_t n = payload.size();
  return std::string{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                     static_cast<char>(sequence)} +
         payload;
}

const std::string& Handshake() {
  static const std::string transcript = [] {
    std::string greeting(
        "\x0A"
        "5.5.5-10.11.6-MariaDB\0",
        23);
    greeting += std::string("\x2A\0\0\0", 4) + "abcdefgh" + std::string(1, '\0');
    greeting += std::string("\x0F\xA2\x08\x02\x00", 5) + std::string(13, '\0');
    greeting += "12345678ijkl" + std::string(1, '\0');
    const std::string ok("\0\0\0\x02\0\0\0", 7);
    return Packet(0, greeting) + Packet(2, ok) + Packet(1, ok);
  }();
  return transcript;
}

void Consume(kalvira::TMyQuery& query) {
  for (int rows = 0; !query.AtEnd() && rows < 64; ++rows, query.MoveNext()) {
    for (std::size_t i = 0; i < query.FieldCount(); ++i) {
      const kalvira::TMyField& field = query.Fields(i);
      (void)field.TextValue();
      try {
        (void)field.IntValue();
      } catch (const kalvira::Exception&) {
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string input;
  if (data[0] & 1) input = Handshake();
  input.append(reinterpret_cast<const char*>(data + 1), size - 1);

  kalvira::TMyConnection connection;
  connection.SetServer("fuzz");
  connection.SetUsername("radio");
  connection.SetPassword("secret");
  connection.SetDatabase("kalvira");
  connection.Options().SetCharset("cp1251");
  connection.SetTransportFactory([&input](const std::string&, int) {
    return std::make_unique<MemoryVio>(reinterpret_cast<const std::uint8_t*>(input.data()),
                                       input.size());
  });
  kalvira::TMyQuery query;
  query.SetConnection(&connection);
  for (int statement = 0; statement < 2; ++statement) {
    query.SetSQL("SELECT id, user, message from ut_messages order by id desc limit 16 ");
    try {
      query.Execute();
      Consume(query);
    } catch (const kalvira::Exception&) {
      if (!connection.Connected()) break;
    }
  }
  return 0;
}
