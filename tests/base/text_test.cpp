#include "base/text.h"

#include <gtest/gtest.h>

namespace kalvira {
namespace {

TEST(Text, Utf16RoundTripIncludingSurrogatePairs) {
  const std::string text = "Kalvira: радио \xF0\x9F\x8E\xB5";
  const std::u16string utf16 = Utf8ToUtf16(text);
  EXPECT_EQ(utf16.size(), 17u);  // 15 BMP characters, one pair
  EXPECT_EQ(Utf16ToUtf8(utf16), text);
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
  EXPECT_EQ(Utf8ToUtf16("\xFF"), u"\xFFFD");
}

TEST(Text, CaseInsensitiveNamesCoverLatinAndCyrillic) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  const Case cases[] = {
      {"ZAMRACONFIG", "zamraConfig", true},
      {"Поп", "пОП", true},
      {"ЁЛКА", "ёлка", true},
      {"Ґ", "ґ", true},
      {"pop", "pops", false},
      {"Рок", "Рак", false},
      {"", "", true},
      {"\xFF", "\xFF", true},  // foreign bytes compare as bytes
      {"\xFF", "\xFE", false},
  };
  for (const auto& c : cases) EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " " << c.b;
  EXPECT_EQ(FoldCase("Мир IS Big"), "мир is big");
}

TEST(Text, TrimBlanks) {
  EXPECT_EQ(TrimBlanks("  \t a b \r\n"), "a b");
  EXPECT_EQ(TrimBlanks(" \t "), "");
}

}  // namespace
}  // namespace kalvira
