// Any stored value either decrypts or fails with ECipherException (never a crash, hang
// or other error), and any text survives encryption as its Windows-1251 form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/cp1251.h"
#include "online/credential_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    (void)kalvira::DecryptCredential(text);
  } catch (const kalvira::ECipherException&) {
  }
  const std::string expected = kalvira::Cp1251ToUtf8(kalvira::Utf8ToCp1251(text));
  if (kalvira::DecryptCredential(kalvira::EncryptCredential(text)) != expected) __builtin_trap();
  return 0;
}
