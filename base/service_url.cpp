#include "base/service_url.h"

#include <charconv>
#include <cstdlib>

#include "base/exception.h"

namespace kalvira {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecode(std::string_view in) {
  std::string out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      out.push_back(in[i]);
      continue;
    }
    if (i + 2 >= in.size()) return std::nullopt;
    const int hi = HexValue(in[i + 1]);
    const int lo = HexValue(in[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
  }
  return out;
}

}  // namespace

std::optional<ServiceUrl> ParseServiceUrl(std::string_view url) {
  constexpr std::string_view kScheme = "mysql://";
  if (!url.starts_with(kScheme)) return std::nullopt;
  url.remove_prefix(kScheme.size());

  const auto at = url.rfind('@');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view credentials = url.substr(0, at);
  std::string_view location = url.substr(at + 1);

  const auto slash = location.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view schema = location.substr(slash + 1);
  location = location.substr(0, slash);

  ServiceUrl result;
  const auto colon = credentials.find(':');
  auto user = PercentDecode(credentials.substr(0, colon));
  auto password = PercentDecode(colon == std::string_view::npos ? std::string_view()
                                                                : credentials.substr(colon + 1));
  auto decoded_schema = PercentDecode(schema);
  if (!user || !password || !decoded_schema || user->empty()) return std::nullopt;

  const auto port_colon = location.rfind(':');
  std::string_view host = location.substr(0, port_colon);
  if (port_colon != std::string_view::npos) {
    const std::string_view port = location.substr(port_colon + 1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535) {
      return std::nullopt;
    }
    result.port = static_cast<std::uint16_t>(value);
  }
  if (host.empty()) return std::nullopt;
  result.user = std::move(*user);
  result.password = std::move(*password);
  result.host = std::string(host);
  result.schema = std::move(*decoded_schema);
  return result;
}

std::optional<ServiceUrl> ServiceUrlFromEnvironment() {
  const char* value = std::getenv("KALVIRA_SERVICE");
  if (value == nullptr || *value == '\0') return std::nullopt;
  auto url = ParseServiceUrl(value);
  if (!url) throw Exception("Invalid KALVIRA_SERVICE value");
  return url;
}

}  // namespace kalvira
