#include "dbclient/my_query.h"

#include <cmath>
#include <cstdio>

#include "base/cp1251.h"
#include "base/text.h"
#include "dbclient/my_connection.h"
#include "dbclient/my_dates.h"
#include "dbclient/my_driver.h"

namespace kalvira {

namespace {

constexpr std::size_t kFetchRows = 25;

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Calls `on_param(begin, end)` for each ":name" outside quoted literals and comments,
// `begin` at the ":".
template <class Fn>
void ScanParams(const std::string& sql, Fn&& on_param) {
  std::size_t i = 0;
  const std::size_t n = sql.size();
  while (i < n) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`') {
      for (++i; i < n; ++i) {
        if (sql[i] == '\\' && c != '`') {
          ++i;
        } else if (sql[i] == c) {
          if (i + 1 < n && sql[i + 1] == c) {
            ++i;
          } else {
            break;
          }
        }
      }
      ++i;
    } else if (c == '#' || (c == '-' && i + 1 < n && sql[i + 1] == '-')) {
      while (i < n && sql[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const std::size_t end = sql.find("*/", i + 2);
      i = end == std::string::npos ? n : end + 2;
    } else if (c == ':' && i + 1 < n && sql[i + 1] == ':') {
      i += 2;
    } else if (c == ':' && i + 1 < n && IsNameChar(sql[i + 1])) {
      std::size_t end = i + 1;
      while (end < n && IsNameChar(sql[end])) ++end;
      on_param(i, end);
      i = end;
    } else {
      ++i;
    }
  }
}

std::string QuoteLiteral(const std::string& value) {
  std::string out = "'";
  for (const char c : value) {
    if (c == '\'') {
      out += "''";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\0') {
      out += "\\0";
    } else {
      out += c;
    }
  }
  return out + "'";
}

bool IsBlobKind(TFieldType kind) {
  using enum TFieldType;
  return kind == ftMemo || kind == ftWideMemo || kind == ftBlob;
}

bool IsIntegerKind(TFieldType kind) {
  using enum TFieldType;
  return kind == ftSmallint || kind == ftInteger || kind == ftWord || kind == ftLargeint;
}

}  // namespace

// Reads one result into a query: fields from the column descriptions, then every row,
// converted by field kind.
class TMySQLRecordset {
 public:
  TMySQLRecordset(TMyQuery& query, TMySQLConnection& driver, const ErrorHook& hook)
      : query_(query), driver_(driver), hook_(hook) {}

  void FetchAll(std::unique_ptr<TMySqlResultSet> result);

 private:
  void CreateFields(const TMySqlResultSet& result);
  void ConvertRow(const TMySqlResultSet& result);
  // One value of the current row, by its field's kind.
  TMyQuery::Cell ConvertValue(const TMyField& field, const TMySqlFieldInfo& info,
                              std::string_view text);
  // Appends text or blob bytes to the query's arena and points the cell at them.
  void StoreBytes(std::string_view bytes, TMyQuery::Cell& cell);
  void ConvertDate(const TMyField& field, const TMySqlFieldInfo& info, std::string_view text,
                   TMyQuery::Cell& cell) const;
  static std::int64_t BitValue(std::string_view bytes);
  static std::int64_t DecimalValue(std::string_view text);
  [[noreturn]] void FailAfterFree(std::unique_ptr<TMySqlResultSet> result);

  TMyQuery& query_;
  TMySQLConnection& driver_;
  const ErrorHook& hook_;
};

void TMySQLRecordset::FetchAll(std::unique_ptr<TMySqlResultSet> result) {
  TMySQLAPI& api = driver_.Api();
  TMySqlSession* session = driver_.Session();
  try {
    CreateFields(*result);
    bool more = true;
    while (more) {
      // Rows are taken in blocks; each row is converted straight out of its packet.
      for (std::size_t i = 0; i < kFetchRows; ++i) {
        if (!api.mysql_fetch_row(result.get())) {
          more = false;
          break;
        }
        ConvertRow(*result);
      }
    }
  } catch (const Exception&) {
    query_.ClearData();
    if (result && !result->Eof()) api.mysql_free_result(std::move(result));
    throw;
  }
  if (api.mysql_errno(session) != 0) {
    query_.ClearData();
    bool broken = false;
    EMyError error = driver_.LastError(&broken);
    hook_(error, broken);
    throw error;
  }
  api.mysql_free_result(std::move(result));
  // Further results of a multi-statement text are read and dropped.
  while (api.mysql_more_results(session)) {
    const int next = api.mysql_next_result(session);
    std::unique_ptr<TMySqlResultSet> extra = next == 0 ? api.mysql_use_result(session) : nullptr;
    if (extra) api.mysql_free_result(std::move(extra));
    if (api.mysql_errno(session) != 0) {
      bool broken = false;
      EMyError error = driver_.LastError(&broken);
      query_.ClearData();
      hook_(error, broken);
      throw error;
    }
    if (next != 0) break;
  }
}

void TMySQLRecordset::CreateFields(const TMySqlResultSet& result) {
  const bool unicode = driver_.UseUnicode();
  for (std::size_t i = 0; i < result.FieldCount(); ++i) {
    const TMySqlFieldInfo& info = result.Fields()[i];
    const FieldKindResult kind = MySqlFieldKind(info, query_.options_, unicode, false);
    if (!kind.rejection.empty()) throw EMyError(CR_MALFORMED_PACKET, kind.rejection);
    auto field = std::make_unique<TMyField>();
    field->query_ = &query_;
    field->index_ = i;
    field->name_ = driver_.FromWire(info.name);
    field->kind_ = kind.kind;
    field->size_ = kind.width;
    field->bit_ = info.HasType(MySqlColumnType::kBit);
    query_.fields_.push_back(std::move(field));
  }
}

void TMySQLRecordset::ConvertRow(const TMySqlResultSet& result) {
  const std::size_t columns = result.FieldCount();
  for (std::size_t c = 0; c < columns; ++c) {
    TMyQuery::Cell cell;
    if (!result.IsNull(c)) {
      const char* bytes = reinterpret_cast<const char*>(result.Value(c));
      cell = ConvertValue(*query_.fields_[c], result.Fields()[c],
                          std::string_view(bytes, result.Length(c)));
    }
    query_.cells_.push_back(cell);
  }
  ++query_.row_count_;
}

TMyQuery::Cell TMySQLRecordset::ConvertValue(const TMyField& field, const TMySqlFieldInfo& info,
                                             std::string_view text) {
  using enum TFieldType;
  TMyQuery::Cell cell;
  cell.null = false;
  switch (field.kind_) {
    case ftString:
    case ftWideString:
    case ftBytes:
    case ftVarBytes:
      StoreBytes(text.substr(0, static_cast<std::size_t>(field.size_)), cell);
      break;
    case ftMemo:
    case ftWideMemo:
    case ftBlob:
      StoreBytes(text, cell);
      break;
    case ftFloat: {
      const std::optional<double> value = ParseMySqlFloat(text);
      if (!value)
        throw EConvertError(my_messages::NotAValidFloat(driver_.FromWire(text.substr(0, 36))));
      cell.d = *value;
      break;
    }
    case ftDate:
    case ftDateTime:
      ConvertDate(field, info, text, cell);
      break;
    case ftTime: {
      const std::optional<std::int64_t> value = ParseMySqlTime(text);
      if (!value) {
        throw EDatabaseError(my_messages::WrongTimeFormat(field.name_, driver_.FromWire(text)));
      }
      cell.i = *value;
      break;
    }
    default:
      cell.i = field.bit_ ? BitValue(text) : DecimalValue(text);
      if (field.kind_ == ftBoolean) cell.i = cell.i != 0 ? 1 : 0;
      break;
  }
  return cell;
}

void TMySQLRecordset::StoreBytes(std::string_view bytes, TMyQuery::Cell& cell) {
  if (query_.arena_.size() + bytes.size() > 0xFFFFFFFFu) {
    throw EMyError(CR_OUT_OF_MEMORY, std::string(ClientErrorText(CR_OUT_OF_MEMORY)));
  }
  cell.offset = static_cast<std::uint32_t>(query_.arena_.size());
  cell.length = static_cast<std::uint32_t>(bytes.size());
  query_.arena_.append(bytes);
}

void TMySQLRecordset::ConvertDate(const TMyField& field, const TMySqlFieldInfo& info,
                                  std::string_view text, TMyQuery::Cell& cell) const {
  std::optional<std::int64_t> value;
  if (info.HasType(MySqlColumnType::kTimestamp)) {
    value = ParseMySqlTimestamp(text, info.length);
  } else if (field.kind_ == TFieldType::ftDate) {
    value = ParseMySqlDate(text);
  } else {
    value = ParseMySqlDateTime(text);
  }
  if (value) {
    cell.i = *value;
  } else if (query_.options_.null_for_zero_date) {
    cell.null = true;
  } else {
    cell.i = InvalidDateSeconds();
  }
}

std::int64_t TMySQLRecordset::BitValue(std::string_view bytes) {
  // BIT values travel as big-endian bytes.
  std::uint64_t value = 0;
  for (const char b : bytes) value = (value << 8) | static_cast<unsigned char>(b);
  return static_cast<std::int64_t>(value);
}

std::int64_t TMySQLRecordset::DecimalValue(std::string_view text) {
  // The server sends integers as decimal text; the arithmetic wraps like the platform's.
  std::uint64_t value = 0;
  const bool negative = !text.empty() && text[0] == '-';
  for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i) {
    value = value * 10 + static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) - 48;
  }
  if (negative) value = ~value + 1;
  return static_cast<std::int64_t>(value);
}

// --- TMyField ---------------------------------------------------------------------------

bool TMyField::IsNull() const {
  return query_->CurrentCell(index_).null;
}

std::string TMyField::TextValue() const {
  using enum TFieldType;
  const TMyQuery::Cell& cell = query_->CurrentCell(index_);
  if (cell.null) return {};
  switch (kind_) {
    case ftBoolean:
      return cell.i != 0 ? "True" : "False";
    case ftFloat:
      return FormatFloat(cell.d);
    case ftDate:
      return FormatDate(cell.i);
    case ftDateTime: {
      const std::int64_t seconds = ((cell.i % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
      return FormatDate(cell.i) + " " + FormatClock(seconds);
    }
    case ftTime: {
      std::string text = cell.i < 0 ? std::string("-") : std::string();
      text += FormatClock(cell.i < 0 ? -cell.i : cell.i);
      return text;
    }
    default:
      break;
  }
  if (IsIntegerKind(kind_)) return std::to_string(cell.i);
  const std::string_view bytes(query_->arena_.data() + cell.offset, cell.length);
  return kind_ == ftWideString || kind_ == ftWideMemo ? std::string(bytes) : Cp1251ToUtf8(bytes);
}

std::int32_t TMyField::IntValue() const {
  using enum TFieldType;
  const TMyQuery::Cell& cell = query_->CurrentCell(index_);
  if (IsBlobKind(kind_) || kind_ == ftDate || kind_ == ftTime || kind_ == ftDateTime) {
    throw EDatabaseError(my_messages::CannotAccessAsInteger(name_));
  }
  if (cell.null) return 0;
  if (IsIntegerKind(kind_) || kind_ == ftBoolean) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(cell.i));
  }
  if (kind_ == ftFloat) {
    const double rounded = std::nearbyint(cell.d);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
      throw EConvertError(my_messages::NotAValidInteger(FormatFloat(cell.d)));
    }
    return static_cast<std::int32_t>(rounded);
  }
  const std::string text = TextValue();
  std::string_view digits = TrimBlanks(text);
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  std::int64_t value = 0;
  bool ok = !digits.empty();
  for (const char c : digits) {
    if (c < '0' || c > '9' || value > 2147483648LL) {
      ok = false;
      break;
    }
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (!ok || value < -2147483648LL || value > 2147483647LL) {
    throw EConvertError(my_messages::NotAValidInteger(text));
  }
  return static_cast<std::int32_t>(value);
}

double TMyField::DateTimeValue() const {
  const TMyQuery::Cell& cell = query_->CurrentCell(index_);
  if (cell.null) return 0;
  return static_cast<double>(cell.i) / kSecondsPerDay;
}

double TMyField::FloatValue() const {
  const TMyQuery::Cell& cell = query_->CurrentCell(index_);
  if (cell.null) return 0;
  if (kind_ == TFieldType::ftFloat) return cell.d;
  if (IsIntegerKind(kind_) || kind_ == TFieldType::ftBoolean) return static_cast<double>(cell.i);
  const std::optional<double> value = ParseMySqlFloat(TextValue());
  if (!value) throw EConvertError(my_messages::NotAValidFloat(TextValue()));
  return *value;
}

// --- TMyQuery ---------------------------------------------------------------------------

TMyQuery::TMyQuery(std::string name) : name_(std::move(name)) {}

TMyQuery::~TMyQuery() {
  if (connection_) connection_->Detach(this);
}

void TMyQuery::SetConnection(TMyConnection* connection) {
  if (connection == connection_) return;
  ClearData();
  if (connection_) connection_->Detach(this);
  connection_ = connection;
  if (connection_) connection_->Attach(this);
}

void TMyQuery::SetSQL(const std::string& text) {
  ClearData();
  sql_ = text;
  param_names_.clear();
  param_values_.clear();
  if (!param_check_ || sql_.find(':') == std::string::npos) return;
  ScanParams(sql_, [&](std::size_t begin, std::size_t end) {
    std::string name = sql_.substr(begin + 1, end - begin - 1);
    for (const std::string& known : param_names_) {
      if (EqualsIgnoreCase(known, name)) return;
    }
    param_names_.push_back(std::move(name));
  });
}

void TMyQuery::SetParamCheck(bool value) {
  param_check_ = value;
  SetSQL(sql_);
}

void TMyQuery::SetParamValue(const std::string& name, const std::string& value) {
  for (auto& [known, stored] : param_values_) {
    if (EqualsIgnoreCase(known, name)) {
      stored = value;
      return;
    }
  }
  param_values_.emplace_back(name, value);
}

std::string TMyQuery::StatementText() const {
  if (param_names_.empty()) return sql_;
  std::string out;
  std::size_t copied = 0;
  ScanParams(sql_, [&](std::size_t begin, std::size_t end) {
    out.append(sql_, copied, begin - copied);
    const std::string name = sql_.substr(begin + 1, end - begin - 1);
    std::string literal = "NULL";
    for (const auto& [known, value] : param_values_) {
      if (EqualsIgnoreCase(known, name)) literal = QuoteLiteral(value);
    }
    out += literal;
    copied = end;
  });
  out.append(sql_, copied, std::string::npos);
  return out;
}

void TMyQuery::ClearData() {
  active_ = false;
  at_end_ = true;
  current_ = 0;
  row_count_ = 0;
  fields_.clear();
  cells_.clear();
  arena_.clear();
}

void TMyQuery::SetActive(bool value) {
  if (!value) {
    ClearData();
    return;
  }
  if (active_) return;
  Run(true);
}

void TMyQuery::Execute() {
  Run(false);
}

void TMyQuery::Run(bool require_result) {
  ClearData();
  rows_affected_ = -1;
  insert_id_ = 0;
  if (connection_ == nullptr) throw EDatabaseError(my_messages::kConnectionNotDefined);
  TMyConnection* connection = connection_;
  TMySQLConnection& driver = connection->Driver();
  const ErrorHook hook = [connection](const EMyError& error, bool stream_broken) {
    if (error.IsFatalError() || stream_broken) connection->DoDisconnect();
  };
  std::unique_ptr<TMySqlResultSet> result =
      RunMySqlCommand(driver, driver.ToWire(StatementText()), command_timeout_, true, hook);
  if (!result) {
    TMySqlSession* session = driver.Session();
    rows_affected_ = static_cast<std::int64_t>(driver.Api().mysql_affected_rows(session));
    insert_id_ = driver.Api().mysql_insert_id(session);
    if (require_result) throw EDatabaseError(my_messages::kMustReturnResultSet);
    return;
  }
  TMySQLRecordset recordset(*this, driver, hook);
  recordset.FetchAll(std::move(result));
  active_ = true;
  current_ = 0;
  at_end_ = row_count_ == 0;
}

void TMyQuery::MoveFirst() {
  current_ = 0;
  at_end_ = !active_ || row_count_ == 0;
}

void TMyQuery::MoveNext() {
  if (!active_) return;
  if (current_ + 1 < row_count_) {
    ++current_;
  } else {
    at_end_ = true;
  }
}

std::int32_t TMyQuery::RowCount() const {
  return active_ ? static_cast<std::int32_t>(row_count_) : 0;
}

const TMyField& TMyQuery::FieldNamed(const std::string& name) const {
  for (const auto& field : fields_) {
    if (EqualsIgnoreCase(field->name_, name)) return *field;
  }
  throw EDatabaseError(my_messages::FieldNotFound(name_, name));
}

const TMyQuery::Cell& TMyQuery::CurrentCell(std::size_t column) const {
  static const Cell kNullCell{};
  if (!active_ || row_count_ == 0) return kNullCell;
  return cells_[current_ * fields_.size() + column];
}

}  // namespace kalvira
