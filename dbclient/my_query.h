// TMyQuery: one SQL text run against a TMyConnection, with every row of its result held
// in memory. TMyField: one column of an open query, read on the current row.
//
//   query.SetConnection(&connection);
//   query.SetSQL("SELECT id, user, message from ut_messages order by id desc limit 16 ");
//   query.Execute();                       // connects first when needed
//   for (; !query.AtEnd(); query.MoveNext())
//     use(query.FieldNamed("user").TextValue(), query.FieldNamed("id").IntValue());
//
// After Execute the query is open, on its first row, when the statement returned a
// result set (even an empty one); a statement without rows (an INSERT) leaves it closed
// with RowsAffected set. On any failure the query is closed: AtEnd() is true, RowCount()
// 0, FieldNamed raises.
//
// Threads: not thread-safe; use a query and its connection from one thread.
// Ownership: the connection must outlive the query's use of it; fields belong to the
// query and live until it closes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbclient/my_errors.h"

namespace kalvira {

class TMyConnection;
class TMyQuery;

enum class TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftDate,
  ftTime,
  ftDateTime,
  ftLargeint,
  ftBytes,
  ftVarBytes,
  ftBlob,
  ftMemo,
  ftWideString,
  ftWideMemo,
  ftBCD,
  ftFMTBcd,
};

class TMyField {
 public:
  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return kind_; }
  // Width in characters of text kinds; 0 for others.
  int Size() const { return size_; }

  bool IsNull() const;
  // Text kinds: the stored bytes decoded; integers: decimal; floats: up to 15
  // significant digits with "."; booleans: "True"/"False"; dates "YYYY-MM-DD", times
  // "[-]HH:MM:SS" (hours may exceed 24), date-times "YYYY-MM-DD HH:MM:SS"; null: "".
  std::string TextValue() const;
  // Integers (64-bit: the low 32 bits), floats rounded, text parsed (EConvertError when
  // it is no integer), null 0. Memo, blob, date and time kinds raise EDatabaseError
  // "Cannot access field '<name>' as type Integer".
  std::int32_t IntValue() const;
  // Date and time kinds: days since 1899-12-30 with the time as the fraction.
  double DateTimeValue() const;
  double FloatValue() const;

 private:
  friend class TMyQuery;
  friend class TMySQLRecordset;
  const TMyQuery* query_ = nullptr;
  std::size_t index_ = 0;
  std::string name_;
  TFieldType kind_ = TFieldType::ftUnknown;
  int size_ = 0;
  bool bit_ = false;
};

// Dataset options; the defaults are the program's settings.
struct TMyDataSetOptions {
  bool null_for_zero_date = true;
  bool enable_boolean = true;
  bool binary_as_string = true;
  bool long_strings = true;
  bool fields_as_string = false;
};

class TMyQuery {
 public:
  // `name` is the component name that prefixes field-lookup errors.
  explicit TMyQuery(std::string name = "MyQuery1");
  ~TMyQuery();
  TMyQuery(const TMyQuery&) = delete;
  TMyQuery& operator=(const TMyQuery&) = delete;

  const std::string& Name() const { return name_; }

  TMyConnection* Connection() const { return connection_; }
  void SetConnection(TMyConnection* connection);

  const std::string& SQL() const { return sql_; }
  // Replaces the statement and scans it for ":name" parameter markers (outside quoted
  // literals and comments) when ParamCheck is on.
  void SetSQL(const std::string& text);
  bool ParamCheck() const { return param_check_; }
  void SetParamCheck(bool value);
  const std::vector<std::string>& ParamNames() const { return param_names_; }
  // The value is substituted as a quoted SQL literal; an unassigned parameter is NULL.
  void SetParamValue(const std::string& name, const std::string& value);

  // Seconds for the server's answer to a statement; 0 means the default of 30 seconds.
  int CommandTimeout() const { return command_timeout_; }
  void SetCommandTimeout(int seconds) { command_timeout_ = seconds; }
  TMyDataSetOptions& Options() { return options_; }

  bool Active() const { return active_; }
  // false closes (harmless when closed); true opens, raising EDatabaseError "Query must
  // return exactly result set - use Execute" for a statement without a result set.
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  // Runs the statement (see the file comment). Raises EDatabaseError "Connection is not
  // defined" without a connection, EMyError for every server or protocol failure.
  void Execute();

  void MoveFirst();
  void MoveNext();
  bool AtEnd() const { return at_end_; }
  std::int32_t RowCount() const;
  // Affected rows of the last statement without result set (-1 when unknown).
  std::int64_t RowsAffected() const { return rows_affected_; }
  std::uint64_t InsertId() const { return insert_id_; }

  std::size_t FieldCount() const { return fields_.size(); }
  const TMyField& Fields(std::size_t index) const { return *fields_.at(index); }
  // Case-insensitive; raises EDatabaseError "<name>: Field '<x>' not found".
  const TMyField& FieldNamed(const std::string& name) const;

 private:
  friend class TMyField;
  friend class TMyConnection;
  friend class TMySQLRecordset;

  struct Cell {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    bool null = true;
    union {
      std::int64_t i = 0;
      double d;
    };
  };

  void Run(bool require_result);
  void ClearData();
  std::string StatementText() const;
  const Cell& CurrentCell(std::size_t column) const;

  std::string name_;
  TMyConnection* connection_ = nullptr;
  std::string sql_;
  bool param_check_ = true;
  std::vector<std::string> param_names_;
  std::vector<std::pair<std::string, std::string>> param_values_;
  int command_timeout_ = 0;
  TMyDataSetOptions options_;

  bool active_ = false;
  bool at_end_ = true;
  std::size_t current_ = 0;
  std::size_t row_count_ = 0;
  std::int64_t rows_affected_ = -1;
  std::uint64_t insert_id_ = 0;
  std::vector<std::unique_ptr<TMyField>> fields_;
  std::vector<Cell> cells_;  // row_count_ × fields_.size(), row by row
  std::string arena_;        // bytes of text and blob values
};

}  // namespace kalvira
