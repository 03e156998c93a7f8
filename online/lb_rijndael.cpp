#include "online/lb_rijndael.h"

#include <algorithm>

#include "online/aes_block.h"
#include "online/phrase_digest.h"

namespace kalvira {

using online_internal::AesBlock;

namespace {
// Byte 15 of the final block carries the count of input bytes it holds.
constexpr std::size_t kLengthByte = TLbRijndael::kBlockSize - 1;

const std::uint8_t* Bytes(std::string_view text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}
}  // namespace

std::size_t KeyBytes(TLbKeySizeRDL key_size) {
  switch (key_size) {
    case TLbKeySizeRDL::ks128:
      return 16;
    case TLbKeySizeRDL::ks192:
      return 24;
    case TLbKeySizeRDL::ks256:
      return 32;
  }
  return 16;
}

void TLbRijndael::SetKeyFromPhrase(std::string_view phrase) {
  const auto digest = PhraseDigest::Compute(phrase, KeyBytes(key_size_));
  SetKey(digest);
}

void TLbRijndael::SetKey(std::span<const std::uint8_t> key) {
  if (key.size() != KeyBytes(key_size_)) throw Exception("Key length does not match the key size");
  key_.fill(0);
  std::copy(key.begin(), key.end(), key_.begin());
}

std::span<const std::uint8_t> TLbRijndael::ActiveKey() const {
  return std::span<const std::uint8_t>(key_.data(), KeyBytes(key_size_));
}

std::string TLbRijndael::EncryptBytes(std::string_view plain) const {
  AesBlock aes(ActiveKey(), AesBlock::Direction::kEncrypt);
  const std::size_t whole = plain.size() / kBlockSize;
  const std::size_t rest = plain.size() % kBlockSize;
  std::string out((whole + 1) * kBlockSize, '\0');
  auto* dst = reinterpret_cast<std::uint8_t*>(out.data());
  for (std::size_t i = 0; i < whole; ++i) {
    aes.Process(Bytes(plain) + i * kBlockSize, dst + i * kBlockSize);
  }
  std::array<std::uint8_t, kBlockSize> last{};
  std::copy_n(Bytes(plain) + whole * kBlockSize, rest, last.begin());
  last[kLengthByte] = static_cast<std::uint8_t>(rest);
  aes.Process(last.data(), dst + whole * kBlockSize);
  return out;
}

std::string TLbRijndael::DecryptBytes(std::string_view cipher) const {
  if (cipher.size() < kBlockSize) throw ECipherException(kInvalidFileFormat);
  AesBlock aes(ActiveKey(), AesBlock::Direction::kDecrypt);
  const std::size_t blocks = cipher.size() / kBlockSize;
  std::string out((blocks - 1) * kBlockSize, '\0');
  auto* dst = reinterpret_cast<std::uint8_t*>(out.data());
  for (std::size_t i = 0; i + 1 < blocks; ++i) {
    aes.Process(Bytes(cipher) + i * kBlockSize, dst + i * kBlockSize);
  }
  std::array<std::uint8_t, kBlockSize> last{};
  aes.Process(Bytes(cipher) + (blocks - 1) * kBlockSize, last.data());
  const std::size_t count = last[kLengthByte];
  if (count >= kBlockSize) throw ECipherException(kInvalidFinalBlock);
  out.append(reinterpret_cast<const char*>(last.data()), count);
  return out;
}

}  // namespace kalvira
