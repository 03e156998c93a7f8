#include "dbclient/my_session.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dbclient/my_errors.h"

namespace kalvira {

namespace {

struct Hash323 {
  std::uint32_t h1;
  std::uint32_t h2;
};

Hash323 HashPassword323(std::string_view text) {
  std::uint32_t nr = 1345345333u;
  std::uint32_t add = 7;
  std::uint32_t nr2 = 0x12345671u;
  for (const char c : text) {
    if (c == ' ' || c == '\t') continue;
    const std::uint32_t tmp = static_cast<unsigned char>(c);
    nr ^= (((nr & 63) + add) * tmp) + (nr << 8);
    nr2 += (nr2 << 8) ^ nr;
    add += tmp;
  }
  return {nr & 0x7FFFFFFFu, nr2 & 0x7FFFFFFFu};
}

class Rand323 {
 public:
  Rand323(std::uint32_t seed1, std::uint32_t seed2) : seed1_(seed1 % kMax), seed2_(seed2 % kMax) {}
  double Next() {
    seed1_ = (seed1_ * 3 + seed2_) % kMax;
    seed2_ = (seed1_ + seed2_ + 33) % kMax;
    return static_cast<double>(seed1_) / 1073741823.0;
  }

 private:
  static constexpr std::uint64_t kMax = 0x3FFFFFFF;
  std::uint64_t seed1_;
  std::uint64_t seed2_;
};

std::string StripBlanks(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != ' ' && c != '\t') out += c;
  }
  return out;
}

std::string_view AsText(const Sha1Digest& digest) {
  return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

}  // namespace

Sha1Digest Sha1(std::string_view bytes) {
  // Fetched once: an implicit fetch per digest costs more than the digest itself.
  static EVP_MD* const sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
  Sha1Digest digest{};
  unsigned int length = 0;
  if (sha1 == nullptr ||
      EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, sha1, nullptr) != 1 ||
      length != digest.size()) {
    throw EMySqlException::Make(CR_OUT_OF_MEMORY);
  }
  return digest;
}

Sha1Digest Scramble41(std::string_view password, std::string_view scramble20) {
  const Sha1Digest stage1 = Sha1(password);
  const Sha1Digest stage2 = Sha1(AsText(stage1));
  std::string message(scramble20);
  message += AsText(stage2);
  const Sha1Digest mask = Sha1(message);
  Sha1Digest token{};
  for (std::size_t i = 0; i < token.size(); ++i) token[i] = stage1[i] ^ mask[i];
  return token;
}

std::string Scramble323(std::string_view password, std::string_view scramble) {
  const Hash323 hp = HashPassword323(password);
  const Hash323 hm = HashPassword323(scramble.substr(0, 8));
  Rand323 rand(hp.h1 ^ hm.h1, hp.h2 ^ hm.h2);
  std::string out(8, '\0');
  for (char& c : out) c = static_cast<char>(std::floor(rand.Next() * 31) + 64);
  const char extra = static_cast<char>(std::floor(rand.Next() * 31));
  for (char& c : out) c = static_cast<char>(c ^ extra);
  return out;
}

TMySqlResultSet::TMySqlResultSet(TMySqlSession* session, std::vector<TMySqlFieldInfo> fields)
    : session_(session),
      fields_(std::move(fields)),
      offsets_(fields_.size()),
      lengths_(fields_.size()),
      nulls_(fields_.size()) {}

const std::uint8_t* TMySqlResultSet::Value(std::size_t column) const {
  return session_->Net()->Payload() + offsets_[column];
}

TMySqlSession::TMySqlSession(VioFactory factory) : factory_(std::move(factory)) {}

TMySqlSession::~TMySqlSession() {
  if (vio_) vio_->Close();
}

void TMySqlSession::Connect(const std::string& host, const std::string& user,
                            const std::string& password, const std::string& schema, int port,
                            std::uint32_t client_flags) {
  host_ = host;
  user_ = user;
  port_ = port == 0 ? kDefaultMySqlPort : port;
  server_status_ = SERVER_STATUS_AUTOCOMMIT;

  if (protocol_ != ProtocolKind::kDefault && protocol_ != ProtocolKind::kTcp) {
    throw EMySqlException::Make(CR_UNKNOWN_PROTOCOL);
  }
  const std::string shown_host = host_.empty() ? "localhost" : host_;
  host_info_ = shown_host + " via TCP/IP";
  vio_ = factory_ ? factory_(host_, port_) : std::make_unique<TCRVioTcp>(host_, port_);
  net_ = std::make_unique<TMySqlNet>(vio_.get());
  try {
    vio_->SetReceiveTimeout(connect_timeout_);
    vio_->Connect();
  } catch (const std::exception&) {
    char text[160];
    // The table texts are literals, so their views end in a zero byte.
    std::snprintf(text, sizeof text, ClientErrorText(CR_CONN_HOST_ERROR).data(), shown_host.c_str(),
                  10061);
    throw EMySqlException::WithText(CR_CONN_HOST_ERROR, text, vio_->LastErrorText());
  }

  net_->ResetCommand();
  ReadGreeting();

  std::uint32_t flags = client_flags;
  if (flags & CLIENT_MULTI_STATEMENTS) flags |= CLIENT_MULTI_RESULTS;
  flags |= kFixedClientFlags | CLIENT_CONNECT_WITH_DB;
  // Compression and SSL are not built in, so they are never negotiated.
  flags &= ~(CLIENT_COMPRESS | CLIENT_SSL);
  if (!(server_capabilities_ & CLIENT_PROTOCOL_41)) flags &= ~CLIENT_PROTOCOL_41;
  client_flags_ = flags;

  net_->ResetBuffer();
  if (flags & CLIENT_PROTOCOL_41) {
    net_->Append32(flags);
    net_->Append32(kMaxPacketAnnounced);
    net_->AppendByte(kCharsetAnnounced);
    net_->AppendFill(0, 23);
  } else {
    net_->Append16(flags);
    net_->AppendFill(0, 3);
  }
  net_->AppendCString(user_);
  // The zero that ends the last string is dropped; only a zero that ends a non-empty
  // string may go, since a server that finds the schema field missing altogether, or
  // the token cut short, refuses the handshake.
  bool drop_terminator = !user_.empty();
  if (server_capabilities_ & CLIENT_SECURE_CONNECTION) {
    if (password.empty()) {
      net_->AppendByte(0);
      drop_terminator = false;
    } else if (has_scramble20_) {
      net_->AppendByte(20);
      const Sha1Digest token = Scramble41(password, scramble_);
      net_->AppendBytes(token.data(), token.size());
      drop_terminator = false;
    } else {
      net_->AppendCString("xxxxxxxx");
      drop_terminator = true;
    }
  } else {
    net_->AppendCString(password.empty() ? std::string() : Scramble323(password, scramble_));
    drop_terminator = !password.empty();
  }
  if (server_capabilities_ & CLIENT_CONNECT_WITH_DB) {
    net_->AppendCString(schema);
    schema_ = schema;
    drop_terminator = !schema.empty();
  }
  if (drop_terminator) net_->DropLastByte();
  net_->Flush();
  ReadAuthAnswer(password);
}

void TMySqlSession::ReadGreeting() {
  net_->Receive();
  const std::uint8_t version = net_->ReadByte();
  if (version != kProtocolVersion) {
    char text[96];
    std::snprintf(text, sizeof text, ClientErrorText(CR_VERSION_ERROR).data(), version,
                  kProtocolVersion);
    throw EMySqlException(CR_VERSION_ERROR, text);
  }
  server_version_ = net_->ReadCString();
  thread_id_ = net_->Read32();
  scramble_ = net_->ReadBytes(8);
  has_scramble20_ = false;
  const std::size_t after_scramble = net_->Remaining();
  net_->Skip(1);
  server_capabilities_ = 0;
  if (net_->Remaining() >= 2) server_capabilities_ = net_->Read16();
  if (after_scramble >= 18 && net_->Remaining() >= 3) {
    server_charset_ = net_->ReadByte();
    server_status_ = net_->Read16();
    net_->Skip(std::min<std::size_t>(13, net_->Remaining()));
  }
  if (after_scramble >= 30 && net_->Remaining() >= 12) {
    scramble_ += net_->ReadBytes(12);
    has_scramble20_ = true;
  }
}

void TMySqlSession::ReadAuthAnswer(const std::string& password) {
  net_->Receive();
  if (!(server_capabilities_ & CLIENT_SECURE_CONNECTION)) return;
  const std::uint8_t* answer = net_->Payload();
  const std::size_t length = net_->PacketLength();
  if (length == 1 && answer[0] == 254) {
    net_->ResetBuffer();
    net_->AppendCString(Scramble323(password, scramble_));
    net_->Flush();
    net_->Receive();
  } else if (length == 24 && answer[0] != 0) {
    const std::string challenge(reinterpret_cast<const char*>(answer), length);
    net_->ResetBuffer();
    if (challenge[0] == '*') {
      scramble_ = challenge.substr(4, 20);
      net_->AppendCString(Scramble323(password, scramble_));
    } else {
      const Sha1Digest stage1 = Sha1(StripBlanks(password));
      std::string message = challenge.substr(0, 4);
      message += AsText(stage1);
      const Sha1Digest mask = Sha1(message);
      std::string reply(20, '\0');
      for (std::size_t i = 0; i < 20; ++i) {
        const auto fresh = static_cast<std::uint8_t>(challenge[4 + i]) ^ mask[i];
        scramble_.resize(20);
        scramble_[i] = static_cast<char>(fresh);
        reply[i] = static_cast<char>(fresh ^ stage1[i]);
      }
      net_->AppendBytes(reply.data(), reply.size());
    }
    net_->Flush();
    net_->Receive();
  }
}

void TMySqlSession::Close() {
  if (closed_) return;
  closed_ = true;
  if (!vio_) return;
  try {
    state_ = ResultState::kReady;
    SendCommand(COM_QUIT, nullptr, 0, true);
  } catch (const std::exception&) {
  }
  vio_->Close();
}

void TMySqlSession::RaiseOutOfSync() const {
  throw EMySqlException::Make(
      CR_COMMANDS_OUT_OF_SYNC,
      std::string(my_messages::kResultState) + std::to_string(static_cast<int>(state_)));
}

void TMySqlSession::SendCommand(std::uint8_t command, const std::uint8_t* payload,
                                std::size_t count, bool skip_reply) {
  if (!net_) throw EMySqlException::Make(CR_SERVER_GONE_ERROR);
  vio_->SetReceiveTimeout(read_timeout_);
  if (state_ != ResultState::kReady) throw EMySqlException::Make(CR_COMMANDS_OUT_OF_SYNC);
  info_.clear();
  affected_rows_ = 0;
  net_->ResetCommand();
  net_->AppendByte(command);
  net_->Flush(payload, count);
  if (!skip_reply) net_->Receive();
}

void TMySqlSession::SelectDb(const std::string& schema) {
  SendCommand(COM_INIT_DB, reinterpret_cast<const std::uint8_t*>(schema.data()), schema.size(),
              false);
  schema_ = schema;
}

void TMySqlSession::Ping() {
  SendCommand(COM_PING, nullptr, 0, false);
}

void TMySqlSession::Kill(std::uint32_t thread_id) {
  const std::uint8_t id[4] = {
      static_cast<std::uint8_t>(thread_id), static_cast<std::uint8_t>(thread_id >> 8),
      static_cast<std::uint8_t>(thread_id >> 16), static_cast<std::uint8_t>(thread_id >> 24)};
  SendCommand(COM_PROCESS_KILL, id, sizeof id, false);
}

void TMySqlSession::SendQuery(const std::uint8_t* statement, std::size_t count) {
  SendCommand(COM_QUERY, statement, count, true);
}

void TMySqlSession::Query(const std::uint8_t* statement, std::size_t count) {
  SendQuery(statement, count);
  ReadQueryResult();
}

void TMySqlSession::ReadQueryResult() {
  net_->Receive();
  bool is_null = false;
  field_count_ = net_->ReadLengthEncoded(&is_null);
  if (is_null) RefuseLocalFile();
  if (field_count_ == 0) {
    affected_rows_ = net_->ReadLengthEncoded();
    insert_id_ = net_->ReadLengthEncoded();
    if ((client_flags_ & CLIENT_PROTOCOL_41) || (server_capabilities_ & CLIENT_TRANSACTIONS)) {
      server_status_ = net_->Read16();
    }
    if (client_flags_ & CLIENT_PROTOCOL_41) warning_count_ = net_->Read16();
    info_ = net_->ReadCString();
    return;
  }
  if (!(server_status_ & SERVER_STATUS_AUTOCOMMIT)) server_status_ |= SERVER_STATUS_IN_TRANS;
  if (net_->Remaining() > 0) extra_info_ = net_->ReadLengthEncoded();
  ReadColumnDefinitions();
  state_ = ResultState::kAnnounced;
  warning_count_ = 0;
}

void TMySqlSession::RefuseLocalFile() {
  // A server may ask for any file the client can read. The program never loads local
  // files, so no file is ever sent: the request is answered with the empty packet that
  // ends a file, the server's reply (an error packet raises here) is read to keep the
  // stream in step, and the request fails as for a file that cannot be opened.
  net_->ResetBuffer();
  net_->SendEmptyPacket();
  net_->Receive();
  if (net_->ReadLengthEncoded() != 0) throw EMySqlException::Make(CR_MALFORMED_PACKET);
  affected_rows_ = net_->ReadLengthEncoded();
  insert_id_ = net_->ReadLengthEncoded();
  if ((client_flags_ & CLIENT_PROTOCOL_41) || (server_capabilities_ & CLIENT_TRANSACTIONS)) {
    server_status_ = net_->Read16();
  }
  throw EMySqlException::Make(CR_UNKNOWN_ERROR, std::strerror(EACCES));
}

void TMySqlSession::ReadColumnDefinitions() {
  fields_.clear();
  has_fields_ = false;
  while (true) {
    net_->Receive();
    if (net_->PacketLength() < 8 && net_->PacketLength() > 0 && net_->Payload()[0] == 254) {
      if (net_->PacketLength() > 1) {
        net_->Seek(1);
        warning_count_ = net_->Read16();
        server_status_ = net_->Read16();
      }
      break;
    }
    fields_.push_back(ParseColumnDefinition());
  }
  // The rows are walked by the announced count; a count that disagrees with the
  // definitions would make the row reader trust the wrong layout.
  if (fields_.size() != field_count_) throw EMySqlException::Make(CR_MALFORMED_PACKET);
  has_fields_ = true;
}

TMySqlFieldInfo TMySqlSession::ParseColumnDefinition() {
  TMySqlFieldInfo field;
  TMySqlNet& net = *net_;
  if (client_flags_ & CLIENT_PROTOCOL_41) {
    net.ReadLengthEncodedString();  // catalog
    field.schema = net.ReadLengthEncodedString();
    field.table = net.ReadLengthEncodedString();
    field.org_table = net.ReadLengthEncodedString();
    field.name = net.ReadLengthEncodedString();
    field.org_name = net.ReadLengthEncodedString();
    const std::uint64_t block = net.ReadLengthEncoded();
    if (block < 12 || block > net.Remaining()) throw EMySqlException::Make(CR_MALFORMED_PACKET);
    field.charsetnr = net.Read16();
    field.length = net.Read32();
    field.type = net.ReadByte();
    field.flags = net.Read16();
    field.decimals = net.ReadByte();
  } else {
    field.table = net.ReadLengthEncodedString();
    field.org_table = field.table;
    field.name = net.ReadLengthEncodedString();
    field.org_name = field.name;
    auto item = [&](std::size_t need) {
      const std::uint64_t size = net.ReadLengthEncoded();
      if (size < need || size > net.Remaining()) throw EMySqlException::Make(CR_MALFORMED_PACKET);
      return net.Position() + static_cast<std::size_t>(size);
    };
    std::size_t end = item(3);
    field.length = net.Read24();
    net.Seek(end);
    end = item(1);
    field.type = net.ReadByte();
    net.Seek(end);
    if (server_capabilities_ & CLIENT_LONG_FLAG) {
      end = item(3);
      field.flags = net.Read16();
    } else {
      end = item(2);
      field.flags = net.ReadByte();
    }
    field.decimals = net.ReadByte();
    net.Seek(end);
  }
  return field;
}

std::unique_ptr<TMySqlResultSet> TMySqlSession::UseResult() {
  if (!has_fields_) return nullptr;
  if (state_ != ResultState::kAnnounced) RaiseOutOfSync();
  auto result = std::make_unique<TMySqlResultSet>(this, std::move(fields_));
  fields_.clear();
  has_fields_ = false;
  state_ = ResultState::kReading;
  return result;
}

bool TMySqlSession::FetchRow(TMySqlResultSet& result) {
  if (result.eof_) return false;
  net_->Receive();
  const std::size_t length = net_->PacketLength();
  const std::uint8_t* data = net_->Payload();
  if (length > 8 || length == 0 || data[0] != 254) {
    ++result.row_count_;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < result.fields_.size(); ++i) {
      if (pos >= length) throw EMySqlException::Make(CR_MALFORMED_PACKET);
      const std::uint8_t first = data[pos++];
      std::size_t size = 0;
      std::size_t prefix = 0;
      bool is_null = false;
      switch (first) {
        case 251:
          is_null = true;
          break;
        case 252:
          prefix = 2;
          break;
        case 253:
          prefix = 3;
          break;
        case 254:
          prefix = 8;
          break;
        case 255:
          throw EMySqlException::Make(CR_MALFORMED_PACKET);
        default:
          size = first;
          break;
      }
      if (prefix > length - pos) throw EMySqlException::Make(CR_MALFORMED_PACKET);
      // Of an 8-byte length only the low 4 bytes count.
      for (std::size_t b = 0; b < std::min<std::size_t>(prefix, 4); ++b) {
        size |= std::size_t{data[pos + b]} << (8 * b);
      }
      pos += prefix;
      if (size > length - pos) throw EMySqlException::Make(CR_MALFORMED_PACKET);
      result.offsets_[i] = pos;
      result.lengths_[i] = size;
      result.nulls_[i] = is_null ? 1 : 0;
      pos += size;
    }
    return true;
  }
  if (length > 1) {
    net_->Seek(1);
    warning_count_ = net_->Read16();
    server_status_ = net_->Read16();
  }
  state_ = ResultState::kReady;
  result.eof_ = true;
  return false;
}

void TMySqlSession::FreeResult(TMySqlResultSet& result) {
  while (!result.eof_) {
    net_->Receive();
    if (net_->PacketLength() > 0 && net_->PacketLength() <= 8 && net_->Payload()[0] == 254) {
      result.eof_ = true;
      if (net_->PacketLength() >= 5) {
        net_->Seek(1);
        warning_count_ = net_->Read16();
        server_status_ = net_->Read16();
      }
    }
  }
  state_ = ResultState::kReady;
}

int TMySqlSession::NextResult() {
  if (state_ != ResultState::kReady) RaiseOutOfSync();
  affected_rows_ = ~std::uint64_t{0};
  if (!MoreResults()) return -1;
  ReadQueryResult();
  return 0;
}

}  // namespace kalvira
