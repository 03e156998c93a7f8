#include "online/phrase_digest.h"

#include <algorithm>

namespace kalvira {
namespace {

// The first 2048 bits of the binary expansion of the fraction of pi, most significant
// bit first.
constexpr std::array<std::uint8_t, PhraseDigest::kDigestSize> kPiFraction = {
    0x24, 0x3F, 0x6A, 0x88, 0x85, 0xA3, 0x08, 0xD3, 0x13, 0x19, 0x8A, 0x2E, 0x03, 0x70, 0x73, 0x44,
    0xA4, 0x09, 0x38, 0x22, 0x29, 0x9F, 0x31, 0xD0, 0x08, 0x2E, 0xFA, 0x98, 0xEC, 0x4E, 0x6C, 0x89,
    0x45, 0x28, 0x21, 0xE6, 0x38, 0xD0, 0x13, 0x77, 0xBE, 0x54, 0x66, 0xCF, 0x34, 0xE9, 0x0C, 0x6C,
    0xC0, 0xAC, 0x29, 0xB7, 0xC9, 0x7C, 0x50, 0xDD, 0x3F, 0x84, 0xD5, 0xB5, 0xB5, 0x47, 0x09, 0x17,
    0x92, 0x16, 0xD5, 0xD9, 0x89, 0x79, 0xFB, 0x1B, 0xD1, 0x31, 0x0B, 0xA6, 0x98, 0xDF, 0xB5, 0xAC,
    0x2F, 0xFD, 0x72, 0xDB, 0xD0, 0x1A, 0xDF, 0xB7, 0xB8, 0xE1, 0xAF, 0xED, 0x6A, 0x26, 0x7E, 0x96,
    0xBA, 0x7C, 0x90, 0x45, 0xF1, 0x2C, 0x7F, 0x99, 0x24, 0xA1, 0x99, 0x47, 0xB3, 0x91, 0x6C, 0xF7,
    0x08, 0x01, 0xF2, 0xE2, 0x85, 0x8E, 0xFC, 0x16, 0x63, 0x69, 0x20, 0xD8, 0x71, 0x57, 0x4E, 0x69,
    0xA4, 0x58, 0xFE, 0xA3, 0xF4, 0x93, 0x3D, 0x7E, 0x0D, 0x95, 0x74, 0x8F, 0x72, 0x8E, 0xB6, 0x58,
    0x71, 0x8B, 0xCD, 0x58, 0x82, 0x15, 0x4A, 0xEE, 0x7B, 0x54, 0xA4, 0x1D, 0xC2, 0x5A, 0x59, 0xB5,
    0x9C, 0x30, 0xD5, 0x39, 0x2A, 0xF2, 0x60, 0x13, 0xC5, 0xD1, 0xB0, 0x23, 0x28, 0x60, 0x85, 0xF0,
    0xCA, 0x41, 0x79, 0x18, 0xB8, 0xDB, 0x38, 0xEF, 0x8E, 0x79, 0xDC, 0xB0, 0x60, 0x3A, 0x18, 0x0E,
    0x6C, 0x9E, 0x0E, 0x8B, 0xB0, 0x1E, 0x8A, 0x3E, 0xD7, 0x15, 0x77, 0xC1, 0xBD, 0x31, 0x4B, 0x27,
    0x78, 0xAF, 0x2F, 0xDA, 0x55, 0x60, 0x5C, 0x60, 0xE6, 0x55, 0x25, 0xF3, 0xAA, 0x55, 0xAB, 0x94,
    0x57, 0x48, 0x98, 0x62, 0x63, 0xE8, 0x14, 0x40, 0x55, 0xCA, 0x39, 0x6A, 0x2A, 0xAB, 0x10, 0xB6,
    0xB4, 0xCC, 0x5C, 0x34, 0x11, 0x41, 0xE8, 0xCE, 0xA1, 0x54, 0x86, 0xAF, 0x7C, 0x72, 0xE9, 0x93,
};

constexpr std::uint32_t kInitialKeyWord = 0x55555555;
constexpr std::array<std::uint32_t, 4> kScheduleSalts = {0x55555555, 0xAAAAAAAA, 0x33333333,
                                                         0xCCCCCCCC};
// Key bytes 0 to 7 (K0 and K1) take input; a mix follows every eighth byte.
constexpr int kKeyInputBytes = 8;
constexpr std::array<std::uint8_t, kKeyInputBytes> kClosingBytes = {1, 0, 0, 0, 0, 0, 0, 0};

std::uint32_t LoadLittleEndian(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLittleEndian(std::uint32_t word, std::uint8_t* p) {
  p[0] = static_cast<std::uint8_t>(word);
  p[1] = static_cast<std::uint8_t>(word >> 8);
  p[2] = static_cast<std::uint8_t>(word >> 16);
  p[3] = static_cast<std::uint8_t>(word >> 24);
}

}  // namespace

// clang-format off
void Mix4(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d) {
  a += d; d += a; a ^= a >> 7;
  b += a; a += b; b ^= b << 13;
  c += b; b += c; c ^= c >> 17;
  d += c; c += d; d ^= d << 9;
  a += d; d += a; a ^= a >> 3;
  b += a; a += b; b ^= b << 7;
  c += b; b += c; c ^= d >> 15;
  d += c; c += d; d ^= d << 11;
}
// clang-format on

DigestMixCipher::DigestMixCipher(std::span<const std::uint8_t, 16> key, int rounds)
    : rounds_(std::clamp(rounds, kMinRounds, kMaxRounds)) {
  std::array<std::uint32_t, 4> w{};
  for (std::size_t i = 0; i < w.size(); ++i) w[i] = LoadLittleEndian(key.data() + 4 * i);
  for (std::size_t i = 0; i < kScheduleSalts.size(); ++i) {
    const std::uint32_t s = kScheduleSalts[i];
    std::uint32_t a = w[0], b = s, c = w[1], d = s, e = w[2], f = s, g = w[3], h = s;
    // clang-format off
    for (int repeat = 0; repeat < 8; ++repeat) {
      a ^= b << 11; d += a; b += c;
      b ^= c >> 2;  e += b; c += d;
      c ^= d << 8;  f += c; d += e;
      d ^= e >> 16; g += d; e += f;
      e ^= f << 10; h += e; f += g;
      f ^= g >> 4;  a += f; g += h;
      g ^= h << 8;  b += g; h += a;
      h ^= a >> 9;  c += h; a += b;
    }
    // clang-format on
    const std::array<std::uint32_t, 8> words = {a, b, c, d, e, f, g, h};
    std::copy(words.begin(), words.end(), sub_key_words_.begin() + 8 * i);
  }
}

void DigestMixCipher::EncryptBlock(std::span<std::uint8_t, kBlockSize> block) const {
  std::uint32_t r0 = LoadLittleEndian(block.data());
  std::uint32_t r1 = LoadLittleEndian(block.data() + 4);
  std::uint32_t l0 = LoadLittleEndian(block.data() + 8);
  std::uint32_t l1 = LoadLittleEndian(block.data() + 12);
  for (int round = 0; round < rounds_; ++round) {
    const auto k = static_cast<std::size_t>(2 * round);
    std::uint32_t a = r0, b = sub_key_words_[k], c = r1, d = sub_key_words_[k + 1];
    Mix4(a, b, c, d);
    std::swap(a, c);
    std::swap(b, d);
    Mix4(a, b, c, d);
    const std::uint32_t t0 = l0 ^ a ^ b;
    const std::uint32_t t1 = l1 ^ c ^ d;
    l0 = r0;
    l1 = r1;
    r0 = t0;
    r1 = t1;
  }
  StoreLittleEndian(l0, block.data());
  StoreLittleEndian(l1, block.data() + 4);
  StoreLittleEndian(r0, block.data() + 8);
  StoreLittleEndian(r1, block.data() + 12);
}

PhraseDigest::PhraseDigest() : digest_(kPiFraction) {
  for (std::size_t i = 0; i < 4; ++i) StoreLittleEndian(kInitialKeyWord, key_bytes_.data() + 4 * i);
}

std::vector<std::uint8_t> PhraseDigest::Compute(std::string_view phrase, std::size_t size) {
  PhraseDigest state;
  state.Update(phrase);
  state.Close();
  state.MixState();
  const std::size_t n = std::min(size, kDigestSize);
  return std::vector<std::uint8_t>(state.digest_.begin(), state.digest_.begin() + n);
}

void PhraseDigest::Update(std::string_view bytes) {
  for (const char x : bytes) UpdateByte(static_cast<std::uint8_t>(x));
}

void PhraseDigest::Close() {
  const int count = kKeyInputBytes - key_index_;
  for (int i = 0; i < count; ++i) UpdateByte(kClosingBytes[static_cast<std::size_t>(i)]);
}

void PhraseDigest::MixState() {
  const DigestMixCipher cipher(key_bytes_, kDigestMixRounds);
  for (std::size_t offset = 0; offset < kDigestSize; offset += DigestMixCipher::kBlockSize) {
    cipher.EncryptBlock(std::span<std::uint8_t, DigestMixCipher::kBlockSize>(
        digest_.data() + offset, DigestMixCipher::kBlockSize));
  }
}

void PhraseDigest::UpdateByte(std::uint8_t x) {
  digest_[static_cast<std::size_t>(digest_index_)] ^= x;
  digest_index_ = (digest_index_ + 1) % static_cast<int>(kDigestSize);
  key_bytes_[static_cast<std::size_t>(key_index_)] ^= x;
  if (++key_index_ == kKeyInputBytes) {
    MixKeyWords();
    key_index_ = 0;
  }
}

void PhraseDigest::MixKeyWords() {
  std::uint32_t a = LoadLittleEndian(key_bytes_.data() + 12);
  std::uint32_t b = LoadLittleEndian(key_bytes_.data() + 8);
  std::uint32_t c = LoadLittleEndian(key_bytes_.data() + 4);
  std::uint32_t d = LoadLittleEndian(key_bytes_.data());
  for (int i = 0; i < 4; ++i) Mix4(a, b, c, d);
  StoreLittleEndian(a, key_bytes_.data());
  StoreLittleEndian(b, key_bytes_.data() + 4);
  StoreLittleEndian(c, key_bytes_.data() + 8);
  StoreLittleEndian(d, key_bytes_.data() + 12);
}

}  // namespace kalvira
