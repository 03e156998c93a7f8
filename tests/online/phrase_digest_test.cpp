#include "online/phrase_digest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace kalvira {
namespace {

// Hex digit `n` (0 = first after the point) of pi by the Bailey-Borwein-Plouffe formula,
// an independent source for the digest's initial state.
int PiHexDigit(int n) {
  auto series = [n](int j) {
    double s = 0;
    for (int k = 0; k <= n; ++k) {
      const double r = 8.0 * k + j;
      double p = 1;  // 16^(n-k) mod r, by squaring; every product stays exact
      double base = std::fmod(16.0, r);
      for (int e = n - k; e > 0; e >>= 1) {
        if (e & 1) p = std::fmod(p * base, r);
        base = std::fmod(base * base, r);
      }
      s = std::fmod(s + p / r, 1.0);
    }
    for (int k = n + 1; k <= n + 12; ++k) s += std::pow(16.0, n - k) / (8.0 * k + j);
    return s;
  };
  double x = 4 * series(1) - 2 * series(4) - series(5) - series(6);
  x -= std::floor(x);
  return static_cast<int>(x * 16);
}

TEST(PhraseDigestTest, InitialStateIsTheFractionOfPi) {
  const PhraseDigest state;
  const auto& d = state.digest();
  EXPECT_EQ(std::vector<std::uint8_t>(d.begin(), d.begin() + 8),
            (std::vector<std::uint8_t>{0x24, 0x3F, 0x6A, 0x88, 0x85, 0xA3, 0x08, 0xD3}));
  EXPECT_EQ(std::vector<std::uint8_t>(d.end() - 4, d.end()),
            (std::vector<std::uint8_t>{0x7C, 0x72, 0xE9, 0x93}));
  for (int i = 0; i < 256; ++i) {
    const int expected = PiHexDigit(2 * i) << 4 | PiHexDigit(2 * i + 1);
    ASSERT_EQ(d[static_cast<std::size_t>(i)], expected) << "byte " << i;
  }
  EXPECT_EQ(state.digest_index(), 0);
  EXPECT_EQ(state.key_index(), 0);
  for (const std::uint8_t b : state.key_bytes()) EXPECT_EQ(b, 0x55);
}

TEST(Mix4Test, WorkedByHand) {
  // a, b, c, d after each of the eight lines, starting from (0, 0, 0, 1):
  //   1: 00000001 00000000 00000000 00000002
  //   2: 00000002 00002001 00000000 00000002   b ^= b << 13
  //   3: 00000002 00004002 00002001 00000002
  //   4: 00000002 00004002 00004004 00402603   d = 2003 ^ 400600
  //   5: 004822c5 00004002 00004004 00804c08   a = 402605 ^ 804c0
  //   6: 0090858c 24790147 00004004 00804c08
  //   7: 0090858c 48f24292 2479404b 00804c08   c = 24794ac9 ^ (d >> 15 = 0x100);
  //                                            shifting c instead would xor 0x48f2
  //   8: 0090858c 48f24292 4972cc9e e89b1453
  std::uint32_t a = 0, b = 0, c = 0, d = 1;
  Mix4(a, b, c, d);
  EXPECT_EQ(a, 0x0090858Cu);
  EXPECT_EQ(b, 0x48F24292u);
  EXPECT_EQ(c, 0x4972CC9Eu);
  EXPECT_EQ(d, 0xE89B1453u);

  // All zero stays zero: every line adds or xors zeros.
  a = b = c = d = 0;
  Mix4(a, b, c, d);
  EXPECT_EQ(a | b | c | d, 0u);

  // Wrap-around modulo 2^32 and the logical right shift. Line 1 from all ones:
  // a = FFFFFFFF + FFFFFFFF = FFFFFFFE, d = FFFFFFFF + FFFFFFFE = FFFFFFFD,
  // a ^= a >> 7 (01FFFFFF, no sign bits shifted in) gives FE000001.
  a = b = c = d = 0xFFFFFFFF;
  Mix4(a, b, c, d);
  EXPECT_EQ(a, 0xBE436B41u);
  EXPECT_EQ(b, 0x97F5CD3Du);
  EXPECT_EQ(c, 0x95F1BEC3u);
  EXPECT_EQ(d, 0xF125A25Fu);
}

TEST(PhraseDigestTest, EmptyPhraseDigestsOnlyTheClosingBytes) {
  PhraseDigest state;
  state.Update("");
  state.Close();
  // Eight closing bytes 01 00 .. 00: Digest[0] = 0x24 ^ 1, index 8, and K0 = 0x55555554
  // before the mix. The mix (a, b, c, d) = (K3, K2, K1, K0) = (55555555, 55555555,
  // 55555555, 55555554), Mix4 four times, stored back as K0 = a .. K3 = d.
  EXPECT_EQ(state.digest_index(), 8);
  EXPECT_EQ(state.key_index(), 0);
  EXPECT_EQ(state.digest()[0], 0x25);
  EXPECT_EQ(state.digest()[1], 0x3F);
  EXPECT_EQ(state.digest()[8], 0x13);
  std::uint32_t a = 0x55555555, b = 0x55555555, c = 0x55555555, d = 0x55555554;
  for (int i = 0; i < 4; ++i) Mix4(a, b, c, d);
  EXPECT_EQ(a, 0x9BC18A71u);
  EXPECT_EQ(b, 0xB0C2C657u);
  EXPECT_EQ(c, 0xC7750145u);
  EXPECT_EQ(d, 0xFF38E8BFu);
  EXPECT_EQ(std::vector<std::uint8_t>(state.key_bytes().begin(), state.key_bytes().end()),
            (std::vector<std::uint8_t>{0x71, 0x8A, 0xC1, 0x9B, 0x57, 0xC6, 0xC2, 0xB0, 0x45, 0x01,
                                       0x75, 0xC7, 0xBF, 0xE8, 0x38, 0xFF}));

  // The finished digest (worked out with an independent implementation of the rules).
  const auto digest = PhraseDigest::Compute("", 256);
  ASSERT_EQ(digest.size(), 256u);
  EXPECT_EQ(std::vector<std::uint8_t>(digest.begin(), digest.begin() + 16),
            (std::vector<std::uint8_t>{0x0B, 0xD1, 0x32, 0xAA, 0x83, 0x1C, 0x56, 0xAC, 0x1F, 0x92,
                                       0xE6, 0x10, 0x84, 0xA3, 0x42, 0xD2}));
  EXPECT_EQ(std::vector<std::uint8_t>(digest.end() - 4, digest.end()),
            (std::vector<std::uint8_t>{0xC9, 0xEE, 0x4E, 0x3E}));
}

TEST(PhraseDigestTest, ClosingFillsUpToTheNextKeyMix) {
  struct Case {
    std::size_t phrase_length;
    int closing_bytes;
  };
  for (const Case c : {Case{0, 8}, Case{1, 7}, Case{7, 1}, Case{8, 8}, Case{36, 4}, Case{300, 4}}) {
    SCOPED_TRACE(c.phrase_length);
    const std::string phrase(c.phrase_length, 'x');
    PhraseDigest state;
    state.Update(phrase);
    EXPECT_EQ(state.key_index(), static_cast<int>(c.phrase_length % 8));
    const auto before = state.digest();
    state.Close();
    EXPECT_EQ(state.key_index(), 0);
    EXPECT_EQ(state.digest_index(), static_cast<int>((c.phrase_length + c.closing_bytes) % 256));
    // The 01 lands at the first closing position; the zeros change nothing.
    const std::size_t first = c.phrase_length % 256;
    EXPECT_EQ(state.digest()[first], before[first] ^ 1);
    for (std::size_t i = 0; i < 256; ++i) {
      if (i != first) {
        EXPECT_EQ(state.digest()[i], before[i]) << i;
      }
    }
  }
}

TEST(PhraseDigestTest, DigestIndexWrapsAfter256Bytes) {
  // Byte 256 of the phrase xors into Digest[0] again.
  std::string phrase(257, '\0');
  phrase[256] = '\x5A';
  PhraseDigest state;
  state.Update(phrase);
  EXPECT_EQ(state.digest_index(), 1);
  EXPECT_EQ(state.digest()[0], 0x24 ^ 0x5A);
}

TEST(PhraseDigestTest, OutputSizeIsCappedAt256AndIsAPrefix) {
  const auto full = PhraseDigest::Compute("phrase", 1000);
  ASSERT_EQ(full.size(), 256u);
  const auto key = PhraseDigest::Compute("phrase", 16);
  EXPECT_EQ(key, std::vector<std::uint8_t>(full.begin(), full.begin() + 16));
  EXPECT_NE(PhraseDigest::Compute("phrasf", 16), key);
}

TEST(DigestMixCipherTest, RoundCountIsClamped) {
  const std::array<std::uint8_t, 16> key{};
  EXPECT_EQ(DigestMixCipher(key, 1).rounds(), 4);
  EXPECT_EQ(DigestMixCipher(key, 8).rounds(), 8);
  EXPECT_EQ(DigestMixCipher(key, 40).rounds(), 16);
}

TEST(DigestMixCipherTest, KeyScheduleOfTheEmptyPhraseKey) {
  // Sub-key words 0 to 3 for the key words of the empty phrase (independent implementation).
  const std::array<std::uint8_t, 16> key = {0x71, 0x8A, 0xC1, 0x9B, 0x57, 0xC6, 0xC2, 0xB0,
                                            0x45, 0x01, 0x75, 0xC7, 0xBF, 0xE8, 0x38, 0xFF};
  const DigestMixCipher cipher(key, 8);
  EXPECT_EQ(cipher.sub_key_words()[0], 0x7553537Au);
  EXPECT_EQ(cipher.sub_key_words()[1], 0x6B9C8EC1u);
  EXPECT_EQ(cipher.sub_key_words()[2], 0x231D3AC4u);
  EXPECT_EQ(cipher.sub_key_words()[3], 0x4DCC20F4u);
}

}  // namespace
}  // namespace kalvira
