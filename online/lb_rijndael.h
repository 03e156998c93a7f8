// The credential cipher component: AES in ECB mode with a final-block rule of its own,
// keyed from a pass phrase through PhraseDigest.
//
// Encryption of n bytes writes every complete 16-byte block encrypted, then always one
// final block: the n mod 16 remaining bytes, zero filling, and n mod 16 in byte 15. So
// the output has 16 * (n / 16 + 1) bytes and the empty input gives one block.
//
// An object is used by one thread at a time. It holds the key; nothing else persists
// between calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "online/cipher_exception.h"

namespace kalvira {

enum class TLbCipherMode { cmECB };  // the only mode the credentials use

enum class TLbKeySizeRDL { ks128, ks192, ks256 };

// 16, 24 or 32.
std::size_t KeyBytes(TLbKeySizeRDL key_size);

class TLbRijndael {
 public:
  static constexpr std::size_t kBlockSize = 16;

  TLbCipherMode CipherMode() const { return TLbCipherMode::cmECB; }
  TLbKeySizeRDL KeySize() const { return key_size_; }
  void SetKeySize(TLbKeySizeRDL key_size) { key_size_ = key_size; }

  // Key := the first KeyBytes(KeySize()) bytes of PhraseDigest of `phrase` (8-bit text).
  void SetKeyFromPhrase(std::string_view phrase);
  // Sets the key bytes directly; throws kalvira::Exception unless key.size() is
  // KeyBytes(KeySize()).
  void SetKey(std::span<const std::uint8_t> key);

  // Never fails for any input.
  std::string EncryptBytes(std::string_view plain) const;

  // Throws ECipherException kInvalidFileFormat for fewer than 16 bytes, and
  // kInvalidFinalBlock when the final block's length byte is above 15. Bytes after the
  // last complete block are ignored.
  std::string DecryptBytes(std::string_view cipher) const;

 private:
  std::span<const std::uint8_t> ActiveKey() const;

  TLbKeySizeRDL key_size_ = TLbKeySizeRDL::ks128;
  std::array<std::uint8_t, 32> key_{};
};

}  // namespace kalvira
