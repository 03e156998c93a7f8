// The SQL of the service's tables (online/service_schema.sql, built in), for the
// operators' tool. Safe to run again: every table is created only when missing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalvira {

// The file as it stands.
std::string_view ServiceSchemaSql();

// Its statements one by one, without comments and the closing ";", to be executed in
// order inside the service schema.
std::vector<std::string> ServiceSchemaStatements();

}  // namespace kalvira
