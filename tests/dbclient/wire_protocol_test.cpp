// The client against a scripted peer, for what a real MariaDB never sends: old
// greetings, the pre-4.1 and early 4.1.0 password exchanges, broken and hostile packets,
// TIMESTAMP columns of every length. The handshake reply is checked byte for byte
// against values worked out here.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "dbclient/my_connection.h"
#include "dbclient/my_query.h"
#include "dbclient/my_session.h"
#include "tests/dbclient/fake_server.h"

namespace kalvira {
namespace {

using namespace kalvira::testing;
using T = MySqlColumnType;

const std::string kScramble20 = "abcdefgh12345678ijkl";
const std::string kUser = "radio";
const std::string kPassword = "s3cret pw";
const std::string kSchema = "kalvira";

std::string Sha1(const std::string& bytes) {
  unsigned char digest[20];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha1(), nullptr);
  return std::string(reinterpret_cast<char*>(digest), 20);
}

std::string Xor(const std::string& a, const std::string& b) {
  std::string out(a.size(), '\0');
  for (std::size_t i = 0; i < a.size(); ++i) out[i] = static_cast<char>(a[i] ^ b[i]);
  return out;
}

// The protocol-3.23 scramble, written out independently of the client.
std::string OldScramble(const std::string& password, const std::string& message) {
  auto hash = [](const std::string& text, std::uint32_t out[2]) {
    std::uint32_t nr = 1345345333u, add = 7, nr2 = 0x12345671u;
    for (unsigned char c : text) {
      if (c == ' ' || c == '\t') continue;
      nr ^= (((nr & 63) + add) * c) + (nr << 8);
      nr2 += (nr2 << 8) ^ nr;
      add += c;
    }
    out[0] = nr & 0x7FFFFFFF;
    out[1] = nr2 & 0x7FFFFFFF;
  };
  std::uint32_t hp[2], hm[2];
  hash(password, hp);
  hash(message.substr(0, 8), hm);
  std::uint64_t s1 = (hp[0] ^ hm[0]) % 0x3FFFFFFF, s2 = (hp[1] ^ hm[1]) % 0x3FFFFFFF;
  auto rnd = [&] {
    s1 = (s1 * 3 + s2) % 0x3FFFFFFF;
    s2 = (s1 + s2 + 33) % 0x3FFFFFFF;
    return static_cast<double>(s1) / 1073741823.0;
  };
  std::string out;
  for (int i = 0; i < 8; ++i) out += static_cast<char>(std::floor(rnd() * 31) + 64);
  const char extra = static_cast<char>(std::floor(rnd() * 31));
  for (char& c : out) c = static_cast<char>(c ^ extra);
  return out;
}

constexpr std::uint16_t kCaps41 = 0xA20F;   // long password, found rows, long flag,
                                            // with db, 4.1, transactions, secure
constexpr std::uint16_t kCapsOld = 0x200D;  // long password, long flag, with db,
                                            // transactions

std::string Reply41(const std::string& token) {
  std::string out(1, '\x01');
  out += Le32(0x3A28F) + Le32(0x40000000) + '\x08' + std::string(23, '\0');
  out += kUser + '\0';
  out += '\x14' + token;
  out += kSchema;  // its terminator is dropped
  return out;
}

std::string Query(const std::string& sql) {
  return std::string("\x00\x03", 2) + sql;
}

// Greeting, reply, OK, "SET NAMES cp1251", OK.
std::vector<FakeStep> Prelude41() {
  return {Send(Packet(0, Greeting("5.0.51a-log", 42, kScramble20, kCaps41))), ReceivePacket(),
          Send(Packet(2, OkPayload())), ReceivePacket(), Send(Packet(1, OkPayload()))};
}

std::vector<FakeStep> operator+(std::vector<FakeStep> a, const std::vector<FakeStep>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void Configure(TMyConnection& connection, const FakeServer& server) {
  connection.SetServer("127.0.0.1");
  connection.SetPort(server.Port());
  connection.SetUsername(kUser);
  connection.SetPassword(kPassword);
  connection.SetDatabase(kSchema);
  connection.SetConnectionTimeout(20);
  connection.Options().SetCharset("cp1251");
}

struct Failure {
  int code = 0;
  std::string message;
};

Failure CaptureFailure(const std::function<void()>& action) {
  try {
    action();
  } catch (const EMyError& e) {
    return {e.ErrorCode(), e.what()};
  } catch (const std::exception& e) {
    return {-1, e.what()};
  }
  return {};
}

TEST(WireProtocolTest, HandshakeReplyIsByteExactAndSetNamesFollowsByVersion) {
  const std::string token = Xor(Sha1(kPassword), Sha1(kScramble20 + Sha1(Sha1(kPassword))));
  struct Case {
    const char* version;
    bool sends_set_names;
  } cases[] = {{"5.0.51a-log", true}, {"4.1.22", true}, {"4.0.18", false}, {"3.23.58", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    std::vector<FakeStep> script = {Send(Packet(0, Greeting(c.version, 7, kScramble20, kCaps41))),
                                    ReceivePacket(), Send(Packet(2, OkPayload()))};
    if (c.sends_set_names)
      script = script + std::vector{ReceivePacket(), Send(Packet(1, OkPayload()))};
    script =
        script + std::vector{ReceivePacket(), Send(ResultSet({Column41("v", T::kVarString, 10)},
                                                             {LengthEncodedString("ok")}))};
    FakeServer server(script);
    {
      TMyConnection connection;
      Configure(connection, server);
      TMyQuery query;
      query.SetConnection(&connection);
      query.SetSQL("SELECT v");
      query.Execute();
      EXPECT_EQ(query.FieldNamed("v").TextValue(), "ok");
      EXPECT_EQ(connection.ThreadId(), 7u);
    }
    server.Join();
    const auto& received = server.Received();
    ASSERT_EQ(received.size(), c.sends_set_names ? 3u : 2u);
    EXPECT_EQ(received[0], Reply41(token));
    if (c.sends_set_names) {
      EXPECT_EQ(received[1], Query("SET NAMES cp1251"));
    }
    EXPECT_EQ(received.back(), Query("SELECT v"));
  }
}

TEST(WireProtocolTest, OldServerGetsTheShortReplyAndOldColumnDefinitions) {
  const std::string scramble8 = "q9%Rz!7w";
  // Old column definition: table, name, length (3), type (1), flags (2) + decimals (1).
  const std::string column = LengthEncodedString("t") + LengthEncodedString("n") + '\x03' +
                             std::string("\x0B\0\0", 3) + '\x01' + static_cast<char>(T::kLong) +
                             '\x03' + std::string("\0\0\0", 3);
  std::string reply_result = Packet(1, LengthEncoded(1)) + Packet(2, column) + Packet(3, "\xFE") +
                             Packet(4, LengthEncodedString("-12")) + Packet(5, "\xFE");
  FakeServer server({Send(Packet(0, Greeting("4.0.18", 3, scramble8, kCapsOld))), ReceivePacket(),
                     Send(Packet(2, std::string("\0\0\0\x02\0", 5))), ReceivePacket(),
                     Send(reply_result)});
  {
    TMyConnection connection;
    Configure(connection, server);
    TMyQuery query;
    query.SetConnection(&connection);
    query.SetSQL("SELECT n FROM t");
    query.Execute();
    EXPECT_EQ(query.FieldNamed("n").DataType(), TFieldType::ftInteger);
    EXPECT_EQ(query.FieldNamed("n").IntValue(), -12);
  }
  server.Join();
  ASSERT_EQ(server.Received().size(), 2u);
  const std::string expected = std::string(1, '\x01') + Le16(0xA08F) + std::string(3, '\0') +
                               kUser + '\0' + OldScramble(kPassword, scramble8) + '\0' + kSchema;
  EXPECT_EQ(server.Received()[0], expected);
}

TEST(WireProtocolTest, ServerAsksForTheOldScrambleOrTheEarly410Exchange) {
  const std::string token = Xor(Sha1(kPassword), Sha1(kScramble20 + Sha1(Sha1(kPassword))));
  const std::string challenge_tail = "ABCDEFGHIJKLMNOPQRST";
  const std::string challenge = std::string("\x01\x02\x03\x04", 4) + challenge_tail;
  const std::string star_challenge = "*xyz" + challenge_tail;
  // Early 4.1.0: stage1 over the password without blanks.
  const std::string stage1 = Sha1("s3cretpw");
  const std::string fresh = Xor(challenge_tail, Sha1(challenge.substr(0, 4) + stage1));
  struct Case {
    const char* what;
    std::string answer;
    std::string expected;
  } cases[] = {
      {"254 asks for the pre-4.1 scramble", "\xFE",
       std::string(1, '\x03') + OldScramble(kPassword, kScramble20) + '\0'},
      {"early 4.1.0 challenge", challenge, std::string(1, '\x03') + Xor(fresh, stage1)},
      {"early 4.1.0 challenge with *", star_challenge,
       std::string(1, '\x03') + OldScramble(kPassword, challenge_tail) + '\0'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeServer server({Send(Packet(0, Greeting("5.0.51a-log", 42, kScramble20, kCaps41))),
                       ReceivePacket(), Send(Packet(2, c.answer)), ReceivePacket(),
                       Send(Packet(4, OkPayload())), ReceivePacket(),
                       Send(Packet(1, OkPayload()))});
    {
      TMyConnection connection;
      Configure(connection, server);
      EXPECT_NO_THROW(connection.SetConnected(true));
    }
    server.Join();
    ASSERT_EQ(server.Received().size(), 3u);
    EXPECT_EQ(server.Received()[0], Reply41(token));
    EXPECT_EQ(server.Received()[1], c.expected);
    EXPECT_EQ(server.Received()[2], Query("SET NAMES cp1251"));
  }
}

TEST(WireProtocolTest, BrokenGreetingsFailWithTheirCodes) {
  const std::string greeting = Greeting("5.0.51a-log", 42, kScramble20, kCaps41);
  std::string old_protocol = greeting;
  old_protocol[0] = '\x09';
  struct Case {
    const char* what;
    std::vector<FakeStep> script;
    int code;
    std::string message;
  } cases[] = {
      {"sequence number out of order",
       {Send(Packet(1, greeting))},
       1156,
       "\r\nReceiveHeader: Net packets out of order: received[1], expected[0]"},
      {"peer closes after the greeting",
       {Send(Packet(0, greeting)), ReceivePacket(), CloseConnection()},
       2013,
       "Lost connection to MySQL server during query"},
      {"protocol version 9",
       {Send(Packet(0, old_protocol))},
       2007,
       "Protocol mismatch. Server Version = 9 Client Version = 10"},
      {"error instead of a greeting",
       {Send(Packet(0, "\xFF" + Le16(1040) + "Too many connections"))},
       1040,
       "\r\nToo many connections"},
      {"greeting cut short",
       {Send(Packet(0, std::string("\x0A"
                                   "5.0",
                                   4))),
        CloseConnection()},
       2027,
       "Malformed packet"},
      {"greeting header cut short",
       {Send(std::string("\x30\0", 2)), CloseConnection()},
       2013,
       "Lost connection to MySQL server during query"},
      {"refused password",
       {Send(Packet(0, greeting)), ReceivePacket(),
        Send(Packet(2, "\xFF" + Le16(1045) + "#28000Access denied"))},
       1045,
       "\r\n#28000Access denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeServer server(c.script);
    TMyConnection connection;
    Configure(connection, server);
    const Failure failure = CaptureFailure([&] { connection.SetConnected(true); });
    EXPECT_EQ(failure.code, c.code);
    EXPECT_EQ(failure.message, c.message);
    EXPECT_FALSE(connection.Connected());
  }
}

TEST(WireProtocolTest, RefusedConnectionNamesTheHostAnd10061) {
  int port = 0;
  {
    FakeServer server({});  // listens, then goes away
    port = server.Port();
    TMyConnection probe;  // let the fake server's accept end
    probe.SetServer("127.0.0.1");
    probe.SetPort(port);
    probe.SetConnectionTimeout(5);
    (void)CaptureFailure([&] { probe.SetConnected(true); });
  }
  TMyConnection connection;
  connection.SetServer("127.0.0.1");
  connection.SetPort(port);
  const Failure failure = CaptureFailure([&] { connection.SetConnected(true); });
  EXPECT_EQ(failure.code, 2003);
  EXPECT_EQ(failure.message,
            "Can't connect to MySQL server on '127.0.0.1' (10061)\r\n"
            "Socket error on connect. WSAGetLastError return 10061($274D)");

  connection.SetServer("no-such-host.invalid");
  const Failure unknown = CaptureFailure([&] { connection.SetConnected(true); });
  EXPECT_EQ(unknown.code, 2003);
  EXPECT_EQ(unknown.message, "Can't connect to MySQL server on 'no-such-host.invalid' (10061)");
}

TEST(WireProtocolTest, RowsColumnsAndTimestampLengths) {
  using enum TFieldType;
  const std::vector<std::string> columns = {
      Column41("a", T::kVarString, 10),    Column41("b", T::kVarString, 10),
      Column41("ts14", T::kTimestamp, 14), Column41("ts12", T::kTimestamp, 12),
      Column41("ts10", T::kTimestamp, 10), Column41("ts8", T::kTimestamp, 8),
      Column41("ts6", T::kTimestamp, 6),   Column41("ts4", T::kTimestamp, 4),
      Column41("ts2", T::kTimestamp, 2),   Column41("ts19", T::kTimestamp, 19),
      Column41("f", T::kDouble, 22)};
  const std::string row = "\xFB" + LengthEncodedString("x") +
                          LengthEncodedString("20240229131415") +
                          LengthEncodedString("240229131415") + LengthEncodedString("2402291314") +
                          LengthEncodedString("20240229") + LengthEncodedString("991231") +
                          LengthEncodedString("6912") + LengthEncodedString("70") +
                          LengthEncodedString("0000-00-00 00:00:00") + LengthEncodedString("1.5e3");
  FakeServer server(Prelude41() + std::vector{ReceivePacket(), Send(ResultSet(columns, {row})),
                                              ReceivePacket(), Send(ResultSet(columns, {row}))});
  TMyConnection connection;
  Configure(connection, server);
  TMyQuery query;
  query.SetConnection(&connection);
  query.SetSQL("SELECT *");
  query.Execute();
  ASSERT_EQ(query.RowCount(), 1);
  // A row starting with the NULL marker 251 is a row, not the end of the rows.
  EXPECT_TRUE(query.FieldNamed("a").IsNull());
  EXPECT_EQ(query.FieldNamed("a").TextValue(), "");
  EXPECT_EQ(query.FieldNamed("a").IntValue(), 0);
  EXPECT_EQ(query.FieldNamed("b").TextValue(), "x");
  const std::pair<const char*, const char*> stamps[] = {
      {"ts14", "2024-02-29 13:14:15"}, {"ts12", "2024-02-29 13:14:15"},
      {"ts10", "2024-02-29 13:14:00"}, {"ts8", "2024-02-29 00:00:00"},
      {"ts6", "1999-12-31 00:00:00"},  {"ts4", "2069-12-01 00:00:00"},
      {"ts2", "1970-01-01 00:00:00"},  {"ts19", ""}};
  for (const auto& [name, text] : stamps) {
    SCOPED_TRACE(name);
    EXPECT_EQ(query.FieldNamed(name).DataType(), ftDateTime);
    EXPECT_EQ(query.FieldNamed(name).TextValue(), text);
  }
  EXPECT_EQ(query.FieldNamed("f").TextValue(), "1500");

  // Not read as null, a value that is no date is the 1st of January of the year 100.
  query.Options().null_for_zero_date = false;
  query.Execute();
  EXPECT_FALSE(query.FieldNamed("ts19").IsNull());
  EXPECT_EQ(query.FieldNamed("ts19").TextValue(), "0100-01-01 00:00:00");
  EXPECT_EQ(query.FieldNamed("ts19").DateTimeValue(), -657434.0);
}

// Each case answers "SELECT x" with the given bytes; some leave the connection usable
// (the script then answers "SELECT 1"), the rest break the stream and close it.
TEST(WireProtocolTest, BadRepliesRaiseClearErrors) {
  const std::string one = ResultSet({Column41("c", T::kVarString, 5)}, {LengthEncodedString("1")});
  const std::string text_column = Packet(2, Column41("c", T::kVarString, 5));
  auto head = [&](const std::string& count) { return Packet(1, count) + text_column; };
  auto with_row = [&](const std::string& row) {
    return head(LengthEncoded(1)) + Packet(3, EofPayload()) + Packet(4, row) +
           Packet(5, EofPayload());
  };
  struct Case {
    const char* what;
    std::string reply;
    int code;  // -1: not an EMyError
    std::string message;
    bool stays_open;
  } cases[] = {
      {"column type 200",
       ResultSet({Column41("c", static_cast<MySqlColumnType>(200), 5)}, {LengthEncodedString("1")}),
       2027, "Unknown MySQL datatype (200)", true},
      {"TIMESTAMP of length 11", ResultSet({Column41("c", T::kTimestamp, 11)}, {}), 2027,
       "Invalid FIELD_TYPE_TIMESTAMP Field.Length (11)", true},
      {"float text with a comma",
       ResultSet({Column41("c", T::kDouble, 5)}, {LengthEncodedString("1,5")}), -1,
       "'1,5' is not a valid floating point value", true},
      {"time without a colon",
       ResultSet({Column41("c", T::kTime, 10)}, {LengthEncodedString("12345")}), -1,
       "Wrong time format. Field c, value 12345", true},
      {"server error", Packet(1, "\xFF" + Le16(1146) + "#42S02Table 'x' doesn't exist"), 1146,
       "\r\n#42S02Table 'x' doesn't exist", true},
      {"local file request is refused", Packet(1, "\xFB/etc/passwd") + Packet(3, OkPayload()), 2000,
       "Unknown MySQL error\r\nPermission denied", true},
      {"error packet cut short", Packet(1, "\xFF\x01"), 2027, "Malformed packet", false},
      {"OK packet cut short", Packet(1, std::string(1, '\0')), 2027, "Malformed packet", false},
      {"huge column count", head("\xFE" + Le32(0) + Le32(1)) + Packet(3, EofPayload()), 2027,
       "Malformed packet", false},
      {"count above the definitions", head(LengthEncoded(3)) + Packet(3, EofPayload()), 2027,
       "Malformed packet", false},
      {"value length past the packet",
       with_row("\x05"
                "ab"),
       2027, "Malformed packet", false},
      {"error packet among the rows",
       head(LengthEncoded(1)) + Packet(3, EofPayload()) +
           Packet(4, "\xFF" + Le16(1317) + "#70100Query execution was interrupted"),
       1317, "\r\n#70100Query execution was interrupted", true},
      {"value prefix 255 in the second column",
       Packet(1, LengthEncoded(2)) + Packet(2, Column41("c", T::kVarString, 5)) +
           Packet(3, Column41("d", T::kVarString, 5)) + Packet(4, EofPayload()) +
           Packet(5,
                  "\x01"
                  "a"
                  "\xFF"
                  "ab") +
           Packet(6, EofPayload()),
       2027, "Malformed packet", false},
      {"value prefix 252 cut short", with_row("\xFC\x01"), 2027, "Malformed packet", false},
      {"value prefix 253 past the end",
       with_row("\xFD\xFF\xFF\x00"
                "abc"),
       2027, "Malformed packet", false},
      {"8-byte value length",
       with_row("\xFE\xFF\xFF\xFF\x7F\xFF\xFF\xFF\xFF"
                "abc"),
       2027, "Malformed packet", false},
      {"empty row packet", with_row(""), 2027, "Malformed packet", false},
      {"definition block too short",
       Packet(1, LengthEncoded(1)) + Packet(2, LengthEncodedString("def") + std::string(5, '\0') +
                                                   "\x05"
                                                   "abcde"),
       2027, "Malformed packet", false},
      {"definition string past the end", Packet(1, LengthEncoded(1)) + Packet(2, "\xFC\xFF\x7F"),
       2027, "Malformed packet", false},
      {"short EOF after definitions", head(LengthEncoded(1)) + Packet(3, "\xFE\x01\x00"), 2027,
       "Malformed packet", false},
      {"packet out of order", Packet(2, LengthEncoded(1)), 1156,
       "\r\nReceiveHeader: Net packets out of order: received[2], expected[1]", false},
      {"rows cut off",
       head(LengthEncoded(1)) + Packet(3, EofPayload()) +
           std::string("\x05\0\0\x04\x03"
                       "a",
                       6),
       2013, "Lost connection to MySQL server during query", false},
      {"huge declared packet", std::string("\xFF\xFF\xFF\x01", 4) + "abc", 2013,
       "Lost connection to MySQL server during query", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<FakeStep> script = Prelude41() + std::vector{ReceivePacket(), Send(c.reply)};
    if (c.stays_open) {
      script = script + std::vector{ReceivePacket(), Send(one)};
    } else {
      script.push_back(CloseConnection());
    }
    FakeServer server(script);
    TMyConnection connection;
    Configure(connection, server);
    TMyQuery query("dnvjhe");
    query.SetConnection(&connection);
    query.SetSQL("SELECT x");
    const Failure failure = CaptureFailure([&] { query.Execute(); });
    EXPECT_EQ(failure.code, c.code);
    EXPECT_EQ(failure.message, c.message);
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(query.RowCount(), 0);
    EXPECT_EQ(connection.Connected(), c.stays_open);
    if (c.stays_open) {
      query.SetSQL("SELECT 1");
      query.Execute();
      EXPECT_EQ(query.FieldNamed("c").IntValue(), 1);
    }
    connection.Disconnect();
    server.Join();
    if (std::string(c.what) == "local file request is refused") {
      // The file request got the empty packet that ends a file, nothing else.
      ASSERT_GE(server.Received().size(), 4u);
      EXPECT_EQ(server.Received()[3], std::string(1, '\x02'));
    }
  }
}

TEST(WireProtocolTest, SilentServerTimesOut) {
  // A server that accepts and never greets: the handshake gives up after the connection
  // time-out instead of blocking for good.
  FakeServer server({ReceivePacket()});
  TMyConnection connection;
  Configure(connection, server);
  connection.SetConnectionTimeout(1);
  const Failure failure = CaptureFailure([&] { connection.SetConnected(true); });
  EXPECT_EQ(failure.code, 2013);
  EXPECT_EQ(failure.message,
            "Lost connection to MySQL server during query\r\n"
            "Socket error on read. WSAGetLastError return 10060($274C)");
}

TEST(WireProtocolTest, QueryWithoutConnectionRaisesAndStaysClosed) {
  TMyQuery query("dfqup");
  query.SetSQL("SELECT 1");
  try {
    query.Execute();
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Connection is not defined");
  }
  EXPECT_FALSE(query.Active());
  EXPECT_TRUE(query.AtEnd());
  EXPECT_EQ(query.RowCount(), 0);
  // A query outliving its connection is detached from it.
  {
    TMyConnection connection;
    query.SetConnection(&connection);
  }
  EXPECT_EQ(query.Connection(), nullptr);
}

TEST(WireProtocolTest, SessionCommandsGoOutAsSpecifiedPackets) {
  const std::string ok = OkPayload();
  FakeServer server({Send(Packet(0, Greeting("5.0.51a-log", 42, kScramble20, kCaps41))),
                     ReceivePacket(), Send(Packet(2, ok)), ReceivePacket(), Send(Packet(1, ok)),
                     ReceivePacket(), Send(Packet(1, ok)), ReceivePacket(), Send(Packet(1, ok)),
                     ReceivePacket()});
  {
    TMySqlSession session;
    session.SetConnectTimeout(20);
    session.SetReadTimeout(20);
    session.Connect("127.0.0.1", kUser, kPassword, kSchema, server.Port(),
                    CLIENT_MULTI_STATEMENTS | CLIENT_FOUND_ROWS);
    EXPECT_EQ(session.ClientFlags(), 0x3A28Fu);
    EXPECT_EQ(session.ThreadId(), 42u);
    EXPECT_EQ(session.HostInfo(), "127.0.0.1 via TCP/IP");
    session.Ping();
    session.SelectDb("other");
    EXPECT_EQ(session.Schema(), "other");
    session.Kill(0x01020304);
    session.Close();
    EXPECT_TRUE(session.Closed());
  }
  server.Join();
  ASSERT_EQ(server.Received().size(), 5u);
  EXPECT_EQ(server.Received()[1], std::string("\0\x0E", 2));
  EXPECT_EQ(server.Received()[2], std::string("\0\x02", 2) + "other");
  EXPECT_EQ(server.Received()[3], std::string("\0\x0C\x04\x03\x02\x01", 6));
  EXPECT_EQ(server.Received()[4], std::string("\0\x01", 2));
}

TEST(WireProtocolTest, SilentServerDuringAStatementTimesOutAfterThirtySeconds) {
  // No command time-out set: the statement still ends after 30 seconds, with the lost
  // connection error, and the connection is closed.
  FakeServer server(Prelude41() + std::vector{ReceivePacket(), ReceivePacket()});
  TMyConnection connection;
  Configure(connection, server);
  TMyQuery query;
  query.SetConnection(&connection);
  query.SetSQL("SELECT SLEEP(100000)");
  const auto start = std::chrono::steady_clock::now();
  const Failure failure = CaptureFailure([&] { query.Execute(); });
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(failure.code, 2013);
  EXPECT_EQ(failure.message,
            "Lost connection to MySQL server during query\r\n"
            "Socket error on read. WSAGetLastError return 10060($274C)");
  EXPECT_GE(waited, std::chrono::seconds(29));
  EXPECT_FALSE(connection.Connected());
}

}  // namespace
}  // namespace kalvira
