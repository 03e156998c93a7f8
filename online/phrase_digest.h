// The digest that turns the credential pass phrase into a cipher key: a 256-byte state
// seeded with the fraction of pi, a key of four words mixed with `Mix4`, and a closing
// pass of `DigestMixCipher` over the state. Only the key derivation uses it.
//
// Pure computation; an object is used by one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kalvira {

// The word mixing step shared by the digest and its block cipher. Arithmetic is modulo
// 2^32; note that the seventh line shifts d, not c.
void Mix4(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d);

// A Feistel cipher on 16-byte blocks of four little-endian words, keyed by 16 bytes.
class DigestMixCipher {
 public:
  static constexpr std::size_t kBlockSize = 16;
  static constexpr int kMinRounds = 4;
  static constexpr int kMaxRounds = 16;

  // `rounds` is clamped to kMinRounds..kMaxRounds.
  DigestMixCipher(std::span<const std::uint8_t, 16> key, int rounds);

  void EncryptBlock(std::span<std::uint8_t, kBlockSize> block) const;

  // Word 2j and 2j + 1 form the sub-key of round j.
  const std::array<std::uint32_t, 32>& sub_key_words() const { return sub_key_words_; }
  int rounds() const { return rounds_; }

 private:
  std::array<std::uint32_t, 32> sub_key_words_{};
  int rounds_;
};

class PhraseDigest {
 public:
  static constexpr std::size_t kDigestSize = 256;
  static constexpr std::size_t kKeyBytes = 16;
  static constexpr int kDigestMixRounds = 8;

  // The initial state.
  PhraseDigest();

  // The whole computation: the first min(256, size) bytes of the digest of `phrase`.
  static std::vector<std::uint8_t> Compute(std::string_view phrase, std::size_t size);

  // Digests the phrase bytes in order.
  void Update(std::string_view bytes);
  // Adds the closing bytes 01 00 ... (1 to 8 of them, up to the next key mix).
  void Close();
  // Encrypts the state with DigestMixCipher keyed by the key words. REQUIRES: Close().
  void MixState();

  // Observers of the state, so its rules can be checked one by one.
  int digest_index() const { return digest_index_; }
  int key_index() const { return key_index_; }
  const std::array<std::uint8_t, kDigestSize>& digest() const { return digest_; }
  // K0, K1, K2, K3 as bytes, each least significant byte first.
  const std::array<std::uint8_t, kKeyBytes>& key_bytes() const { return key_bytes_; }

 private:
  void UpdateByte(std::uint8_t x);
  void MixKeyWords();

  int digest_index_ = 0;
  int key_index_ = 0;
  std::array<std::uint8_t, kDigestSize> digest_;
  std::array<std::uint8_t, kKeyBytes> key_bytes_;
};

}  // namespace kalvira
