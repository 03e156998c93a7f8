#include "online/service_schema.h"

#include "base/text.h"

namespace kalvira {
namespace online_internal {
extern const std::string_view kServiceSchemaSql;  // service_schema_sql.cpp, generated
}  // namespace online_internal

std::string_view ServiceSchemaSql() {
  return online_internal::kServiceSchemaSql;
}

std::vector<std::string> ServiceSchemaStatements() {
  // The file keeps to a simple shape: comments on lines of their own, and every
  // statement ending with ";" at the end of a line.
  std::vector<std::string> statements;
  std::string current;
  std::string_view rest = ServiceSchemaSql();
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    std::string_view line = TrimBlanks(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty() || line.starts_with("--")) continue;
    if (!current.empty()) current += '\n';
    current += line;
    if (current.ends_with(';')) {
      current.pop_back();
      statements.push_back(std::move(current));
      current.clear();
    }
  }
  if (!TrimBlanks(current).empty()) statements.push_back(std::move(current));
  return statements;
}

}  // namespace kalvira
