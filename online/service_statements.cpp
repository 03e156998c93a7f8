#include "online/service_statements.h"

#include "online/service_config.h"

namespace kalvira::statements {

std::string VersionQuery() {
  return std::string(kVersionQueryPrefix) + std::to_string(kMainProductLine);
}

std::string InsertMessage(std::string_view user, std::string_view message) {
  return "insert into ut_messages (user,message) values (" + QuoteSqlText(user) + "," +
         QuoteSqlText(message) + ")";
}

std::string PasswordOfAccount(std::string_view email) {
  return "select password from ut_users where is_banned = 0 and email = " + QuoteSqlText(email);
}

}  // namespace kalvira::statements
