// kalvira-admin: the operators' tool for the online service. It creates the service's
// tables, manages accounts (whose passwords it stores as the program's cipher text, so
// the login accepts them), chat messages, the announced version and the plug-in list,
// and encrypts or decrypts a stored password.
//
// Connects with the program's own database client to KALVIRA_SERVICE, or to the
// program's built-in service when that is unset. Text in and out is UTF-8; values reach
// SQL only through QuoteSqlText.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kalvira::admin {

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsage = 2 };

// Runs one command line (without the program name). Results go to `out`; errors, with
// the usage text for wrong usage, to `err`. `in` is read only for a password given as
// "-". Returns the exit status.
int RunAdmin(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err);

// The usage text.
std::string UsageText();

// `text` made safe for one tab-separated field of a list line: backslash, tab, line feed
// and carriage return become \\, \t, \n and \r; other control characters \xHH (or \uHHHH
// for U+0080 to U+009F), so stored text can neither break the lines nor drive the
// terminal.
std::string ListField(std::string_view text);

}  // namespace kalvira::admin
