// Every statement the online services send, in one place. Text values enter only through
// QuoteSqlText; integers as decimal digits; nothing else is ever spliced into SQL.
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace kalvira::statements {

// The update check: the newest version of product line 0.
inline constexpr std::string_view kVersionQueryPrefix =
    "SELECT version, link from ut_versions where id_main = ";
inline constexpr int kMainProductLine = 0;

// The chat feed: the 16 newest messages, newest first (the trailing blank belongs to it).
inline constexpr std::string_view kChatQuery =
    "SELECT id, user, message from ut_messages order by id desc limit 16 ";
inline constexpr std::size_t kChatRows = 16;

// The plug-in list.
inline constexpr std::string_view kPluginQuery = "select * from ut_plugins";

std::string VersionQuery();

// "insert into ut_messages (user,message) values ('<user>','<message>')".
std::string InsertMessage(std::string_view user, std::string_view message);

// The stored cipher text of an account that may log in.
std::string PasswordOfAccount(std::string_view email);

}  // namespace kalvira::statements
