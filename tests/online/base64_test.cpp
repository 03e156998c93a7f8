#include "online/base64.h"

#include <gtest/gtest.h>

#include <string>

#include "online/cipher_exception.h"

namespace kalvira {
namespace {

TEST(Base64Test, EncodesAsRfc4648) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xFB\xFF\xBF", 3), "+/+/"},
      {std::string(3, '\0'), "AAAA"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(Base64Encode(bytes), text);
    EXPECT_EQ(Base64Decode(text), bytes);
  }
  // No line breaks however long.
  EXPECT_EQ(Base64Encode(std::string(300, 'x')).find('\n'), std::string::npos);
}

TEST(Base64Test, DecodesByTheGroupRules) {
  struct Case {
    std::string text;
    std::string bytes;  // when it decodes
    const char* error;  // else the exact message
  };
  const Case cases[] = {
      {"Zg==", "f", nullptr},
      {"Zm8=", "fo", nullptr},
      // Only the third character decides about the second byte: "Zg=A" gives one byte.
      {"Zg=A", "f", nullptr},
      // "=" or another non-alphabet character of the range counts as 127 where it sits.
      {"====", "\xFF", nullptr},
      {"Z:9v", std::string("\x67\xFF\x6F", 3), nullptr},
      {"Zm9vYg==Zm8=", "foobfo", nullptr},
      {"", "", nullptr},
      // Range 43 to 122: "*" is 42 and "{" is 123.
      {"Zm9*", "", kInvalidBase64Character},
      {"Zm9{", "", kInvalidBase64Character},
      {"Zm9 ", "", kInvalidBase64Character},
      {"Zm9v\nYmFy", "", kInvalidBase64Character},
      {"Zm9v\r\n", "", kInvalidBase64Character},
      {std::string("Zm\0v", 4), "", kInvalidBase64Character},
      {"Zm9v\xC0\xC0\xC0\xC0", "", kInvalidBase64Character},
      // A blank inside that also spoils the length is still a bad character.
      {"Zm9 v", "", kInvalidBase64Character},
      {"Zg=", "", kInvalidBase64Length},
      {"Zm9vY", "", kInvalidBase64Length},
      {"A", "", kInvalidBase64Length},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.error == nullptr) {
      EXPECT_EQ(Base64Decode(c.text), c.bytes);
      continue;
    }
    try {
      Base64Decode(c.text);
      ADD_FAILURE() << "no error";
    } catch (const ECipherException& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
  }
}

}  // namespace
}  // namespace kalvira
