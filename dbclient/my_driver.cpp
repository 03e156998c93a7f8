#include "dbclient/my_driver.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/cp1251.h"
#include "dbclient/my_dates.h"

namespace kalvira {

namespace {

bool IsStreamBreaking(int code) {
  return code == ER_NET_PACKETS_OUT_OF_ORDER || code == CR_NET_PACKET_TOO_LARGE ||
         code == CR_MALFORMED_PACKET;
}

// The leading run of decimal digits of `text` from `pos`, as a number (0 when none);
// `pos` moves past it.
int DigitRun(std::string_view text, std::size_t& pos) {
  int value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (value < 100000) value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return value;
}

// `count` digits at `pos`, or -1.
int Digits(std::string_view text, std::size_t pos, std::size_t count) {
  if (pos + count > text.size()) return -1;
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int TwoDigitYear(int yy) {
  return yy < 70 ? 2000 + yy : 1900 + yy;
}

}  // namespace

// --- TMySQLConnection -------------------------------------------------------------------

TMySQLConnection::TMySQLConnection(const TMySQLConnectionSettings& settings,
                                   TMySqlSession::VioFactory factory)
    : api_(&TMySQLAPIDirect::Instance()),
      use_unicode_(settings.use_unicode),
      component_(settings.component) {
  session_ = api_->mysql_init(std::move(factory));
  api_->mysql_options(session_.get(), MYSQL_OPT_CONNECT_TIMEOUT, settings.connection_timeout);
  std::uint32_t flags = CLIENT_MULTI_STATEMENTS | CLIENT_FOUND_ROWS;
  if (settings.compress) flags |= CLIENT_COMPRESS;
  if (!api_->mysql_real_connect(session_.get(), settings.host, settings.user, settings.password,
                                settings.schema, settings.port, flags)) {
    EMyError error = LastError(nullptr);
    Close();
    throw error;
  }

  const std::string version = api_->mysql_get_server_info(session_.get());
  std::size_t pos = 0;
  const int major = DigitRun(version, pos);
  int minor = 0;
  if (pos < version.size() && version[pos] == '.') {
    ++pos;
    minor = DigitRun(version, pos);
  }
  std::string names;
  if (major < 4 || (major == 4 && minor == 0)) {
    use_unicode_ = false;
  } else if (use_unicode_) {
    names = "SET NAMES utf8";
  } else if (!settings.charset.empty()) {
    names = "SET NAMES " + settings.charset;
  }
  if (!names.empty()) {
    try {
      RunMySqlCommand(*this, names, settings.connection_timeout, false,
                      [](const EMyError&, bool) {});
    } catch (...) {
      Close();
      throw;
    }
  }
}

TMySQLConnection::~TMySQLConnection() {
  Close();
}

void TMySQLConnection::Close() {
  if (closed_) return;
  closed_ = true;
  api_->mysql_close(session_.get());
}

std::string TMySQLConnection::ToWire(std::string_view utf8) const {
  return use_unicode_ ? std::string(utf8) : Utf8ToCp1251(utf8);
}

std::string TMySQLConnection::FromWire(std::string_view bytes) const {
  return use_unicode_ ? std::string(bytes) : Cp1251ToUtf8(bytes);
}

EMyError TMySQLConnection::LastError(bool* stream_broken) const {
  const int code = api_->mysql_errno(session_.get());
  if (stream_broken != nullptr) *stream_broken = IsStreamBreaking(code);
  return EMyError(code, FromWire(api_->mysql_error(session_.get())), component_);
}

// --- running a statement ----------------------------------------------------------------

std::unique_ptr<TMySqlResultSet> RunMySqlCommand(TMySQLConnection& connection,
                                                 const std::string& statement, int timeout,
                                                 bool want_result, const ErrorHook& on_error) {
  TMySQLAPI& api = connection.Api();
  TMySqlSession* session = connection.Session();
  auto fail = [&]() {
    bool broken = false;
    EMyError error = connection.LastError(&broken);
    on_error(error, broken);  // may close the connection: nothing of it is used afterwards
    throw error;
  };

  const int seconds = timeout == 0 ? kDefaultStatementTimeout : timeout;
  api.mysql_options(session, MYSQL_OPT_READ_TIMEOUT, seconds);
  api.mysql_options(session, MYSQL_OPT_WRITE_TIMEOUT, seconds);
  if (api.mysql_real_query(session, statement) != 0) fail();

  std::unique_ptr<TMySqlResultSet> result = api.mysql_use_result(session);
  if (!result && api.mysql_errno(session) != 0) fail();
  if (want_result) {
    while (!result && api.mysql_more_results(session)) {
      if (api.mysql_next_result(session) > 0) fail();
      result = api.mysql_use_result(session);
      if (!result && api.mysql_errno(session) != 0) fail();
    }
    return result;
  }
  if (result) {
    api.mysql_free_result(std::move(result));
    if (api.mysql_errno(session) != 0) fail();
  }
  while (true) {
    const int next = api.mysql_next_result(session);
    if (next > 0) fail();
    if (next != 0) break;
    result = api.mysql_use_result(session);
    if (!result && api.mysql_errno(session) != 0) fail();
    if (result) {
      api.mysql_free_result(std::move(result));
      if (api.mysql_errno(session) != 0) fail();
    }
  }
  return nullptr;
}

// --- field kinds ------------------------------------------------------------------------

namespace {

// The TIMESTAMP lengths of the server generations: 19 for "YYYY-MM-DD HH:MM:SS", the
// even lengths up to 14 for runs of digits.
bool IsTimestampLength(std::uint32_t length) {
  switch (length) {
    case 19:
    case 14:
    case 12:
    case 10:
    case 8:
    case 6:
    case 4:
    case 2:
      return true;
    default:
      return false;
  }
}

// The kind a column's type stands for, before the dataset options apply.
FieldKindResult TypeKind(const TMySqlFieldInfo& info, const TMyDataSetOptions& options,
                         bool optimized_big_int) {
  using enum TFieldType;
  using T = MySqlColumnType;
  const bool is_unsigned = (info.flags & UNSIGNED_FLAG) != 0;
  const bool binary = (info.flags & BINARY_FLAG) != 0;
  const bool binary_bytes = binary && info.charsetnr == kBinaryCharset && !options.binary_as_string;
  FieldKindResult out;
  if (info.HasType(T::kTimestamp) && !IsTimestampLength(info.length)) {
    out.rejection = my_messages::InvalidTimestampLength(info.length);
    return out;
  }
  switch (static_cast<T>(info.type)) {
    case T::kDecimal:
    case T::kNewDecimal:
    case T::kFloat:
    case T::kDouble:
      out.kind = ftFloat;
      break;
    case T::kTiny:
      if (info.length == 1 && options.enable_boolean) {
        out.kind = ftBoolean;
      } else {
        out.kind = is_unsigned ? ftWord : ftSmallint;
      }
      break;
    case T::kShort:
      out.kind = is_unsigned ? ftWord : ftSmallint;
      break;
    case T::kLong:
      out.kind = is_unsigned ? ftLargeint : ftInteger;
      break;
    case T::kNull:
    case T::kEnum:
    case T::kSet:
      out.kind = ftString;
      break;
    case T::kTimestamp:
    case T::kDateTime:
      out.kind = ftDateTime;
      break;
    case T::kLongLong:
    case T::kBit:
      out.kind = (info.length < 12 && optimized_big_int) ? ftInteger : ftLargeint;
      break;
    case T::kInt24:
      out.kind = ftInteger;
      break;
    case T::kDate:
    case T::kNewDate:
      out.kind = ftDate;
      break;
    case T::kTime:
      out.kind = ftTime;
      break;
    case T::kYear:
      out.kind = ftWord;
      break;
    case T::kVarChar:
    case T::kVarString:
      out.kind = binary_bytes ? ftVarBytes : ftString;
      break;
    case T::kString:
      out.kind = binary_bytes ? ftBytes : ftString;
      break;
    case T::kTinyBlob:
    case T::kMediumBlob:
    case T::kLongBlob:
    case T::kBlob:
    case T::kGeometry:
      out.kind = binary ? ftBlob : ftMemo;
      break;
    default:
      out.rejection = my_messages::UnknownDatatype(info.type);
      break;
  }
  return out;
}

}  // namespace

FieldKindResult MySqlFieldKind(const TMySqlFieldInfo& info, const TMyDataSetOptions& options,
                               bool use_unicode, bool optimized_big_int) {
  using enum TFieldType;
  FieldKindResult out = TypeKind(info, options, optimized_big_int);
  if (!out.rejection.empty()) return out;
  const bool binary = (info.flags & BINARY_FLAG) != 0;
  // A computed text column of the largest width is a text of unknown length.
  if (info.HasType(MySqlColumnType::kVarString) && info.length == 65535 && info.table.empty()) {
    out.kind = binary ? ftBlob : ftMemo;
  }
  if (!options.long_strings && info.length > 256 && out.kind == ftString) out.kind = ftMemo;
  if (options.fields_as_string && out.kind != ftBlob && out.kind != ftMemo) out.kind = ftString;
  if (use_unicode) {
    if (out.kind == ftString) out.kind = ftWideString;
    if (out.kind == ftMemo) out.kind = ftWideMemo;
  }
  if (out.kind == ftString || out.kind == ftWideString || out.kind == ftBytes ||
      out.kind == ftVarBytes) {
    std::uint32_t width = info.length;
    // UTF-8 columns announce three bytes a character.
    if (use_unicode && info.charsetnr != kBinaryCharset) width /= 3;
    out.width = static_cast<int>(std::min<std::uint32_t>(width, 0x7FFFFFFF));
  }
  return out;
}

// --- value parsers ----------------------------------------------------------------------

std::optional<double> ParseMySqlFloat(std::string_view text) {
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
  const std::size_t mantissa = pos;
  bool point = false;
  bool digits = false;
  for (; pos < text.size(); ++pos) {
    if (text[pos] >= '0' && text[pos] <= '9') {
      digits = true;
    } else if (text[pos] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    const std::size_t exponent = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    if (pos == exponent) return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  // from_chars takes no "+" and ignores the locale.
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data() + mantissa, text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    value = HUGE_VAL;
  } else if (ec != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return text[0] == '-' ? -value : value;
}

std::optional<std::int64_t> ParseMySqlDate(std::string_view text) {
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  return ComposeDateTime(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2), 0, 0, 0);
}

std::optional<std::int64_t> ParseMySqlDateTime(std::string_view text) {
  if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  return ComposeDateTime(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2),
                         Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2));
}

std::optional<std::int64_t> ParseMySqlTimestamp(std::string_view text,
                                                std::uint32_t column_length) {
  switch (column_length) {
    case 19:
      return ParseMySqlDateTime(text);
    case 14:
      return ComposeDateTime(Digits(text, 0, 4), Digits(text, 4, 2), Digits(text, 6, 2),
                             Digits(text, 8, 2), Digits(text, 10, 2), Digits(text, 12, 2));
    case 8:
      return ComposeDateTime(Digits(text, 0, 4), Digits(text, 4, 2), Digits(text, 6, 2), 0, 0, 0);
    default:
      break;
  }
  // Two-digit year, then as many two-digit groups as the length holds.
  const std::size_t groups = column_length / 2;
  int parts[6] = {0, 1, 1, 0, 0, 0};
  for (std::size_t g = 0; g < groups && g < 6; ++g) {
    parts[g] = Digits(text, g * 2, 2);
    if (parts[g] < 0) return std::nullopt;
  }
  return ComposeDateTime(TwoDigitYear(parts[0]), parts[1], parts[2], parts[3], parts[4], parts[5]);
}

std::optional<std::int64_t> ParseMySqlTime(std::string_view text) {
  const std::size_t colon = text.substr(0, 5).find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::size_t pos = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++pos;
  std::int64_t hours = 0;
  for (; pos < colon; ++pos) {
    if (text[pos] < '0' || text[pos] > '9') return std::nullopt;
    hours = hours * 10 + (text[pos] - '0');
  }
  const int minutes = Digits(text, colon + 1, 2);
  const int seconds = Digits(text, colon + 4, 2);
  if (minutes < 0 || seconds < 0 || colon + 3 >= text.size() || text[colon + 3] != ':') {
    return std::nullopt;
  }
  // The sign belongs to the whole value: -01:30:00 is an hour and a half before zero.
  const std::int64_t value = hours * 3600 + minutes * 60 + seconds;
  return negative ? -value : value;
}

std::string FormatFloat(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buffer[64];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  const std::size_t e = text.find('e');
  if (e == std::string::npos) return text;
  // 1.5e-05 is written 1.5E-5.
  std::string exponent = text.substr(e + 1);
  std::string sign;
  if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) {
    if (exponent[0] == '-') sign = "-";
    exponent.erase(0, 1);
  }
  while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
  return text.substr(0, e) + "E" + sign + exponent;
}

}  // namespace kalvira
