#include "base/cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "base/text.h"

namespace kalvira {
namespace {

// glibc's converter is the second opinion for the whole table. It has no character for
// 0x98, which we map to U+0098 so that bytes survive a round trip.
std::string IconvCp1251ToUtf8(unsigned char byte) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  char in[1] = {static_cast<char>(byte)};
  char out[8] = {};
  char* inp = in;
  char* outp = out;
  std::size_t in_left = 1;
  std::size_t out_left = sizeof out;
  const std::size_t rc = iconv(cd, &inp, &in_left, &outp, &out_left);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) return {};
  return std::string(out, outp);
}

TEST(Cp1251, AllBytesMatchTheSystemConverterAndRoundTrip) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = Cp1251ToUtf8(byte);
    if (b == 0x98) {
      EXPECT_EQ(utf8, "\xC2\x98");
    } else {
      EXPECT_EQ(utf8, IconvCp1251ToUtf8(static_cast<unsigned char>(b))) << "byte " << b;
    }
    EXPECT_EQ(Utf8ToCp1251(utf8), byte) << "byte " << b;
    EXPECT_TRUE(FitsCp1251(utf8));
  }
}

TEST(Cp1251, KnownLetters) {
  EXPECT_EQ(Utf8ToCp1251("Привет, мир! Ёё №"),
            "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xA8\xB8 \xB9");
  EXPECT_EQ(Cp1251ToUtf8("\xC0\xFF"), "Ая");
}

TEST(Cp1251, UnmappableAndMalformedBecomeQuestionMarks) {
  struct Case {
    const char* utf8;
    const char* cp1251;
  };
  const Case cases[] = {
      {"日本", "??"},                 // CJK
      {"a\xF0\x9F\x8E\xB5z", "a?z"},  // a character outside the BMP is one "?"
      {"\xFF\xFE", "??"},             // bytes that never start UTF-8
      {"\xD0", "?"},                  // a sequence cut short
      {"\xE2\x82", "??"},             // two bytes of a three-byte sequence
      {"\xC0\xAF", "??"},             // overlong "/"
      {"é", "?"},                     // Latin-1 letter without a Cyrillic-page byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
    EXPECT_FALSE(FitsCp1251(c.utf8)) << c.utf8;
  }
  EXPECT_EQ(Utf8ToCp1251(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace kalvira
