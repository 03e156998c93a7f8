#include "online/base64.h"

#include <array>
#include <cstdint>

#include "online/cipher_exception.h"

namespace kalvira {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kFirstAccepted = '+';  // 43
constexpr unsigned char kLastAccepted = 'z';   // 122
constexpr std::uint8_t kNotInAlphabet = 127;
constexpr std::size_t kGroup = 4;

constexpr std::array<std::uint8_t, 256> MakeValues() {
  std::array<std::uint8_t, 256> values{};
  for (auto& v : values) v = kNotInAlphabet;
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  }
  return values;
}
constexpr std::array<std::uint8_t, 256> kValues = MakeValues();

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto byte = [&](std::size_t k) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k]));
  };
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const std::uint32_t v = byte(i) << 16;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    const std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  // The character rule is checked over the whole text first, so a stray blank or line
  // break is reported as such even when it also spoils the length.
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < kFirstAccepted || c > kLastAccepted) throw ECipherException(kInvalidBase64Character);
  }
  if (text.size() % kGroup != 0) throw ECipherException(kInvalidBase64Length);

  std::string out;
  out.reserve(text.size() / kGroup * 3);
  for (std::size_t i = 0; i < text.size(); i += kGroup) {
    const std::uint32_t a = kValues[static_cast<unsigned char>(text[i])];
    const std::uint32_t b = kValues[static_cast<unsigned char>(text[i + 1])];
    const std::uint32_t c = kValues[static_cast<unsigned char>(text[i + 2])];
    const std::uint32_t d = kValues[static_cast<unsigned char>(text[i + 3])];
    out += static_cast<char>(static_cast<std::uint8_t>(a << 2 | b >> 4));
    if (text[i + 2] != '=') {
      out += static_cast<char>(static_cast<std::uint8_t>(b << 4 | c >> 2));
      if (text[i + 3] != '=') out += static_cast<char>(static_cast<std::uint8_t>(c << 6 | d));
    }
  }
  return out;
}

}  // namespace kalvira
