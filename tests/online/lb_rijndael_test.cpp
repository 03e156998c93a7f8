#include "online/lb_rijndael.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/aes_block.h"
#include "online/base64.h"

namespace kalvira {
namespace {

using online_internal::AesBlock;

std::vector<std::uint8_t> Hex(std::string_view hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

std::string HexBytes(std::string_view hex) {
  const auto v = Hex(hex);
  return std::string(v.begin(), v.end());
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

// FIPS-197 appendices B and C.
TEST(AesBlockTest, Fips197Vectors) {
  struct Case {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Case cases[] = {
      {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
       "3925841d02dc09fbdc118597196a0b32"},
      {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
       "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
       "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const auto key = Hex(c.key);
    auto block = Hex(c.plain);
    AesBlock encrypt(key, AesBlock::Direction::kEncrypt);
    encrypt.Process(block.data(), block.data());
    EXPECT_EQ(block, Hex(c.cipher));
    AesBlock decrypt(key, AesBlock::Direction::kDecrypt);
    decrypt.Process(block.data(), block.data());
    EXPECT_EQ(block, Hex(c.plain));
  }
}

TEST(AesBlockTest, RejectsOtherKeyLengths) {
  const std::vector<std::uint8_t> key(20, 1);
  EXPECT_THROW(AesBlock(key, AesBlock::Direction::kEncrypt), Exception);
}

class BlockLayerTest : public ::testing::Test {
 protected:
  BlockLayerTest() { cipher_.SetKey(Hex("000102030405060708090a0b0c0d0e0f")); }
  TLbRijndael cipher_;
};

TEST_F(BlockLayerTest, WholeBlocksAreAesAndAFinalBlockIsAlwaysAdded) {
  const std::string fips_plain = HexBytes("00112233445566778899aabbccddeeff");
  const std::string out = cipher_.EncryptBytes(fips_plain);
  ASSERT_EQ(out.size(), 32u);
  EXPECT_EQ(ToHex(out.substr(0, 16)), "69c4e0d86a7b0430d8cdb78070b4c55a");
  // The final block of a 16-byte input is 16 zero bytes (count 0 in byte 15).
  std::vector<std::uint8_t> zero(16, 0);
  AesBlock(Hex("000102030405060708090a0b0c0d0e0f"), AesBlock::Direction::kEncrypt)
      .Process(zero.data(), zero.data());
  EXPECT_EQ(out.substr(16), std::string(zero.begin(), zero.end()));
}

TEST_F(BlockLayerTest, FinalBlockHoldsTheRestAndItsCount) {
  const std::string out = cipher_.EncryptBytes("abc");
  ASSERT_EQ(out.size(), 16u);
  std::vector<std::uint8_t> last(out.begin(), out.end());
  AesBlock(Hex("000102030405060708090a0b0c0d0e0f"), AesBlock::Direction::kDecrypt)
      .Process(last.data(), last.data());
  EXPECT_EQ(ToHex(std::string(last.begin(), last.end())), "61626300000000000000000000000003");
}

TEST_F(BlockLayerTest, OutputLengthAndRoundTrip) {
  for (const std::size_t n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 100u}) {
    SCOPED_TRACE(n);
    std::string plain;
    for (std::size_t i = 0; i < n; ++i) plain += static_cast<char>(i * 37 + 11);
    const std::string out = cipher_.EncryptBytes(plain);
    EXPECT_EQ(out.size(), 16 * (n / 16 + 1));
    EXPECT_EQ(cipher_.DecryptBytes(out), plain);
  }
}

TEST_F(BlockLayerTest, DecryptionFailures) {
  struct Case {
    std::string cipher;
    const char* error;
  };
  const std::string fips_cipher = HexBytes("69c4e0d86a7b0430d8cdb78070b4c55a");
  const Case cases[] = {
      {"", kInvalidFileFormat},
      {std::string(1, 'x'), kInvalidFileFormat},
      {std::string(15, 'x'), kInvalidFileFormat},
      // Decrypts to 00112233..ff: a count of 0xFF in byte 15 is no final block of ours.
      {fips_cipher, kInvalidFinalBlock},
      {cipher_.EncryptBytes("abc") + fips_cipher, kInvalidFinalBlock},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToHex(c.cipher));
    try {
      cipher_.DecryptBytes(c.cipher);
      ADD_FAILURE() << "no error";
    } catch (const ECipherException& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
  }
}

TEST_F(BlockLayerTest, DecryptionTakesWholeBlocksAndTheCountOfTheLast) {
  // A whole block followed by another final block, and bytes after the last complete
  // block, which are ignored.
  const std::string fips_cipher = HexBytes("69c4e0d86a7b0430d8cdb78070b4c55a");
  EXPECT_EQ(ToHex(cipher_.DecryptBytes(fips_cipher + cipher_.EncryptBytes("abc"))),
            "00112233445566778899aabbccddeeff616263");
  EXPECT_EQ(cipher_.DecryptBytes(cipher_.EncryptBytes("abc") + "12345"), "abc");
  EXPECT_EQ(cipher_.DecryptBytes(cipher_.EncryptBytes("") + std::string(15, '\0')), "");
}

TEST(TLbRijndaelTest, KeyFromPhraseForEveryKeySize) {
  // Worked out with an independent implementation of the digest and openssl enc.
  struct Case {
    TLbKeySizeRDL key_size;
    std::string phrase;
    std::string plain;
    const char* base64;
  };
  const std::string phrase36 = "abcdefghijklmnopqrstuvwxyz0123456789";
  const Case cases[] = {
      {TLbKeySizeRDL::ks128, "", "", "oXX7rK/6T6mAOfhZFfug2g=="},
      {TLbKeySizeRDL::ks128, "", "abc", "VXyDtVgZSt05yIuhA0jY/g=="},
      {TLbKeySizeRDL::ks128, phrase36, "Password1", "YbSu7aUo+vFOU7YrMKxSjA=="},
      {TLbKeySizeRDL::ks128, phrase36, "0123456789abcdef",
       "AZEamCinVdeyOJF9KfUQmSwPesl2R/KrLZp3tXYrkZs="},
      {TLbKeySizeRDL::ks192, phrase36, "Password1", "4qjMoIB657DlCTsw5Lo9OQ=="},
      {TLbKeySizeRDL::ks256, phrase36, "Password1", "P2xv97qMPnGqRQSVMKJqgA=="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base64);
    TLbRijndael cipher;
    cipher.SetKeySize(c.key_size);
    cipher.SetKeyFromPhrase(c.phrase);
    EXPECT_EQ(Base64Encode(cipher.EncryptBytes(c.plain)), c.base64);
    EXPECT_EQ(cipher.DecryptBytes(Base64Decode(c.base64)), c.plain);
  }
}

TEST(TLbRijndaelTest, SetKeyChecksTheLength) {
  TLbRijndael cipher;
  EXPECT_THROW(cipher.SetKey(std::vector<std::uint8_t>(32, 1)), Exception);
  cipher.SetKeySize(TLbKeySizeRDL::ks256);
  EXPECT_NO_THROW(cipher.SetKey(std::vector<std::uint8_t>(32, 1)));
}

}  // namespace
}  // namespace kalvira
