#include "online/credential_cipher.h"

#include <array>
#include <cstdint>

#include "base/cp1251.h"
#include "online/base64.h"
#include "online/lb_rijndael.h"

namespace kalvira {
namespace {

// The pass phrase lives here and nowhere else. Changing any of it makes every stored
// password (ut_users and config.ini) undecryptable.
constexpr std::string_view kPhraseAlphabet = "nvjP6SE80MeIaBlFgD52WURtZTxYOcXCiQd1yAhqVb7kLH49";
constexpr std::array<std::uint8_t, 32> kPhraseIndices = {34, 18, 47, 47, 30, 38, 43, 41, 46, 36, 7,
                                                         42, 2,  8,  47, 44, 39, 43, 33, 45, 40, 15,
                                                         41, 38, 11, 8,  31, 4,  38, 39, 11, 3};
constexpr std::string_view kPhraseSuffix = "E59r";
static_assert(kPhraseAlphabet.size() == 48);

TLbRijndael MakeCipher() {
  TLbRijndael cipher;  // ECB, ks128
  // The phrase is plain ASCII, so its Windows-1251 form is itself.
  cipher.SetKeyFromPhrase(Utf8ToCp1251(CredentialPassPhrase()));
  return cipher;
}

}  // namespace

std::string CredentialPassPhrase() {
  std::string phrase;
  phrase.reserve(kPhraseIndices.size() + kPhraseSuffix.size());
  for (const std::uint8_t index : kPhraseIndices) phrase += kPhraseAlphabet[index];
  phrase += kPhraseSuffix;
  return phrase;
}

std::string EncryptCredential(std::string_view text) {
  return Base64Encode(MakeCipher().EncryptBytes(Utf8ToCp1251(text)));
}

std::string DecryptCredential(std::string_view text) {
  const TLbRijndael cipher = MakeCipher();
  return Cp1251ToUtf8(cipher.DecryptBytes(Base64Decode(Utf8ToCp1251(text))));
}

}  // namespace kalvira
