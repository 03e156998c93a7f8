#include "online/service_config.h"

#include <array>
#include <cstdint>
#include <initializer_list>

#include "base/service_url.h"
#include "dbclient/my_connection.h"

namespace kalvira {
namespace {

// The built-in service lives here and nowhere else: each value is picked out of this
// alphabet by index at every call, so none is stored as such.
constexpr std::string_view kAlphabet =
    "EU4yRifTthQXASdwrH8clx7kOJq3IG0vKubng9FVCzpeZsDL2B6YaoPjW1m5NM";
static_assert(kAlphabet.size() == 62);

using Group = std::initializer_list<std::uint8_t>;

std::string Assemble(std::initializer_list<Group> groups, char separator) {
  std::string out;
  for (const Group& group : groups) {
    if (!out.empty()) out += separator;
    for (const std::uint8_t index : group) out += kAlphabet[index];
  }
  return out;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool NeedsHex(char c) {
  return c == '\\' || c == '\0';
}

}  // namespace

std::string BuiltInServiceServer() {
  return Assemble(
      {{45, 26, 20, 30, 2}, {23, 52, 20, 31, 5, 16, 52}, {14, 52, 8, 52}, {14, 34}, {16, 33}}, '.');
}

std::string BuiltInServiceUsername() {
  return Assemble({{23, 52, 20, 31, 5, 16, 52}, {16, 52, 14, 5, 53}, {16, 15}}, '_');
}

std::string BuiltInServicePassword() {
  return Assemble({{27, 2, 0, 38, 43, 14, 5, 6}}, '_');
}

ServiceSettings ServiceConnectionSettings() {
  ServiceSettings settings;
  if (const auto url = ServiceUrlFromEnvironment()) {
    settings.server = url->host;
    settings.port = url->port;
    settings.username = url->user;
    settings.password = url->password;
    settings.database = url->schema;
  } else {
    settings.server = BuiltInServiceServer();
    settings.username = BuiltInServiceUsername();
    settings.password = BuiltInServicePassword();
    settings.database = std::string(kServiceSchema);
  }
  settings.charset = std::string(kServiceCharset);
  return settings;
}

void ConfigureServiceConnection(TMyConnection& connection) {
  const ServiceSettings settings = ServiceConnectionSettings();
  connection.SetDatabase(settings.database);
  connection.SetServer(settings.server);
  connection.SetPort(settings.port);
  connection.SetUsername(settings.username);
  connection.SetPassword(settings.password);
  connection.Options().SetCharset(settings.charset);
}

std::string QuoteSqlText(std::string_view value) {
  auto quote = [](std::string_view text) {
    std::string out = "'";
    for (const char c : text) {
      out += c;
      if (c == '\'') out += '\'';
    }
    out += '\'';
    return out;
  };
  bool plain = true;
  for (const char c : value) plain = plain && !NeedsHex(c);
  if (plain) return quote(value);

  // Alternate runs of ordinary text (quoted) and runs of backslashes and NUL bytes
  // (hex, which no SQL mode reads differently).
  std::string out = "CONCAT(";
  std::size_t i = 0;
  while (i < value.size()) {
    if (i > 0) out += ',';
    std::size_t j = i;
    if (NeedsHex(value[i])) {
      out += "CAST(X'";
      for (; j < value.size() && NeedsHex(value[j]); ++j) {
        const auto byte = static_cast<unsigned char>(value[j]);
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 15];
      }
      out += "' AS CHAR)";
    } else {
      while (j < value.size() && !NeedsHex(value[j])) ++j;
      out += quote(value.substr(i, j - i));
    }
    i = j;
  }
  out += ')';
  return out;
}

std::string QuoteSqlIdentifier(std::string_view name) {
  std::string out = "`";
  for (const char c : name) {
    out += c;
    if (c == '`') out += '`';
  }
  out += '`';
  return out;
}

}  // namespace kalvira
