// The profile format on bytes: what a read finds and the exact bytes a write leaves.
#include "platform/profile_format.h"

#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"
#include "base/text.h"
#include "platform/profile.h"

namespace kalvira::profile_detail {
namespace {

using namespace std::string_literals;

// Test texts are written in UTF-8 and stored the way a Windows-1251 file holds them.
std::string Cp(const std::string& utf8) {
  return Utf8ToCp1251(utf8);
}

std::string Utf16File(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (const char16_t u : text) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

struct ReadCase {
  const char* what;
  std::string file;  // UTF-8 here, Windows-1251 in the file
  std::string section;
  std::string key;
  std::string expected;
};

TEST(ProfileRead, FindsValuesTheWayThePlatformDoes) {
  const ReadCase cases[] = {
      {"plain", "[S]\r\nk=v\r\n", "S", "k", "v"},
      {"blanks around the value", "[S]\r\nk =  \t v w \t \r\n", "S", "k", "v w"},
      {"blanks around key and header", "  [ S ]  \r\n\t k\t=v\r\n", "S", "k", "v"},
      {"blanks in the caller's names", "[S]\r\nk=v\r\n", " S\t", " k ", "v"},
      {"double quotes", "[S]\r\nk=\"a b\"\r\n", "S", "k", "a b"},
      {"single quotes", "[S]\r\nk='a b'\r\n", "S", "k", "a b"},
      {"quotes keep inner blanks", "[S]\r\nk= ' a ' \r\n", "S", "k", " a "},
      {"one pair only", "[S]\r\nk=\"\"a\"\"\r\n", "S", "k", "\"a\""},
      {"empty quotes", "[S]\r\nk=\"\"\r\n", "S", "k", ""},
      {"mismatched quotes kept", "[S]\r\nk=\"a'\r\n", "S", "k", "\"a'"},
      {"opening quote only", "[S]\r\nk=\"abc\r\n", "S", "k", "\"abc"},
      {"a lone quote", "[S]\r\nk=\"\r\n", "S", "k", "\""},
      {"inner quotes", "[S]\r\nk=a \"b\" c\r\n", "S", "k", "a \"b\" c"},
      {"equals sign in the value", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
      {"empty value", "[S]\r\nk=\r\n", "S", "k", ""},
      {"Latin letter case", "[ZamraConfig]\r\nFORMcaption=x\r\n", "ZAMRACONFIG", "formCaption",
       "x"},
      {"Cyrillic letter case", "[Жанры]\r\nПоп=POP\r\nЁЛКИ=e\r\n", "жАНРЫ", "ёлки", "e"},
      {"track path as section", "[/музыка/Группа/Песня.mp3]\r\nRAIT=3\r\n",
       "/МУЗЫКА/группа/песня.MP3", "rait", "3"},
      {"brackets inside a section name", "[/m/[Live] a.mp3]\r\nRAIT=5\r\n", "/m/[Live] a.mp3",
       "RAIT", "5"},
      {"text after the closing bracket", "[S] ; note\r\nk=v\r\n", "S", "k", "v"},
      {"values are not case-folded", "[S]\r\nk=Поп\r\n", "S", "k", "Поп"},
      {"missing key", "[S]\r\nk=v\r\n", "S", "x", ""},
      {"missing section", "[S]\r\nk=v\r\n", "T", "k", ""},
      {"key of another section", "[S]\r\nk=v\r\n[T]\r\nj=w\r\n", "S", "j", ""},
      {"key after a later section", "[S]\r\n[T]\r\nk=v\r\n", "S", "k", ""},
      {"empty file", "", "S", "k", ""},
      {"no sections at all", "k=v\r\nj=w\r\n", "S", "k", ""},
      {"keys before the first section", "k=1\r\n[S]\r\nk=2\r\n", "S", "k", "2"},
      {"first of duplicate keys", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
      {"first of duplicate sections", "[S]\r\nk=1\r\n[s]\r\nk=2\r\n", "S", "k", "1"},
      {"only the first section counts", "[S]\r\na=1\r\n[S]\r\nk=2\r\n", "S", "k", ""},
      {"garbage lines", "garbage\r\n[S]\r\n\x01\x02 junk\r\n;c\r\nk=v\r\n]x[\r\n", "S", "k", "v"},
      {"unterminated header is not a section", "[S]\r\n[T\r\nk=v\r\n", "S", "k", "v"},
      {"empty section name", "[]\r\nk=v\r\n", "", "k", "v"},
      {"empty key name", "[S]\r\n=v\r\n", "S", "", "v"},
      {"LF line ends", "[S]\nk=v\nj=w\n", "S", "j", "w"},
      {"CR line ends", "[S]\rk=v\rj=w\r", "S", "j", "w"},
      {"mixed line ends", "[S]\r\nk=v\rj=w\nl=x", "S", "l", "x"},
      {"CR LF CR", "[S]\r\r\nk=v\r\n", "S", "k", "v"},
      {"no final line break", "[S]\r\nk=v", "S", "k", "v"},
      {"NUL ends the value", "[S]\r\nk=ab\0cd\r\nj=w\r\n"s, "S", "k", "ab"},
      {"NUL before the equals sign", "[S]\r\nk\0=x\r\nk=v\r\n"s, "S", "k", "v"},
      {"NUL in a header", "[S\0]\r\n[S]\r\nk=v\r\n"s, "S", "k", "v"},
      {"NUL in the caller's key", "[S]\r\nk=v\r\n", "S", "k\0junk"s, "v"},
      {"line break in the caller's section", "[a b]\r\nk=v\r\n", "a\nb", "k", "v"},
      {"foreign characters are '?' in the file", "[S]\r\n?\?=v\r\n", "S", "日本", "v"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LookupValue(Cp(c.file), c.section, c.key), c.expected) << c.what;
  }
}

TEST(ProfileRead, BytesOutsideUtf8ComeBackAsWindows1251Text) {
  // Every byte of the code page reads back as its character.
  std::string all;
  for (int b = 0x21; b < 256; ++b) {
    if (b != '"' && b != '\'') all.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(LookupValue("[S]\r\nk=" + all + "\r\n", "S", "k"), Cp1251ToUtf8(all));
}

TEST(ProfileRead, ValuesAreCutAt2047Characters) {
  const std::string long_cyrillic(3000, '\xDF');  // "Я" in Windows-1251
  const std::string got = LookupValue("[S]\r\nk=" + long_cyrillic + "\r\n", "S", "k");
  EXPECT_EQ(got, Cp1251ToUtf8(std::string(kMaxProfileValueLength, '\xDF')));
  EXPECT_EQ(got.size(), 2 * kMaxProfileValueLength);  // characters, not UTF-8 bytes

  // Quotes go first, then the cut.
  EXPECT_EQ(LookupValue("[S]\r\nk=\"" + std::string(3000, 'x') + "\"\r\n", "S", "k"),
            std::string(kMaxProfileValueLength, 'x'));
  EXPECT_EQ(LookupValue("[S]\r\nk=" + std::string(2047, 'x') + "\r\n", "S", "k").size(), 2047u);
  EXPECT_EQ(LookupValue("[S]\r\nk=" + std::string(2046, 'x') + "\r\n", "S", "k").size(), 2046u);

  // In a UTF-16 file a character outside the BMP is one character, never cut in half.
  std::u16string wide = u"[S]\r\nk=a";
  for (int i = 0; i < 2100; ++i) wide += u"\U0001F3B5";
  const std::string wide_got = LookupValue(Utf16File(wide), "S", "k");
  std::string expected = "a";
  for (std::size_t i = 1; i < kMaxProfileValueLength; ++i) expected += "\U0001F3B5";
  EXPECT_EQ(wide_got, expected);
}

TEST(ProfileRead, VeryLongLinesAndManyLines) {
  std::string file = "[S]\r\n" + std::string(1 << 20, 'g') + "\r\n";
  for (int i = 0; i < 10000; ++i) file += "k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  file += "key=" + std::string(1 << 20, 'v') + "\r\nlast=1\r\n";
  EXPECT_EQ(LookupValue(file, "S", "k9999"), "9999");
  EXPECT_EQ(LookupValue(file, "S", "key").size(), kMaxProfileValueLength);
  EXPECT_EQ(LookupValue(file, "S", "last"), "1");
}

TEST(ProfileRead, Utf16LittleEndianWithBom) {
  const std::string file = Utf16File(u"[Настройки]\r\nПодпись = \"Радио 日本\" \r\n[S]\nk=v");
  EXPECT_EQ(LookupValue(file, "НАСТРОЙКИ", "подпись"), "Радио 日本");
  EXPECT_EQ(LookupValue(file, "s", "K"), "v");
  EXPECT_EQ(LookupValue(file, "S", "missing"), "");
  // Without the BOM the same bytes are Windows-1251 text with NULs: nothing found, no crash.
  EXPECT_EQ(LookupValue(file.substr(2), "S", "k"), "");
  // An odd last byte and a lone surrogate do no harm.
  EXPECT_EQ(LookupValue(Utf16File(u"[S]\r\nk=\xD800x\r\n") + "\x41", "S", "k"), "\xEF\xBF\xBDx");
  EXPECT_EQ(LookupValue("\xFF\xFE", "S", "k"), "");
  EXPECT_EQ(LookupValue("\xFF\xFE[", "S", "k"), "");
}

struct WriteCase {
  const char* what;
  std::string before;  // UTF-8 here, Windows-1251 in the file
  std::string section;
  std::string key;
  std::string value;
  std::string after;
};

TEST(ProfileWrite, ChangesOnlyWhatItMust) {
  const WriteCase cases[] = {
      {"new file", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"replace in place", "; c\r\n[S]\r\nA=old\r\nB=2\r\n", "S", "a", "new",
       "; c\r\n[S]\r\nA=new\r\nB=2\r\n"},
      {"replace keeps blanks before the value", "[S]\r\n  k  =  old  \r\n", "S", "k", "new",
       "[S]\r\n  k  =  new\r\n"},
      {"replace an empty value", "[S]\r\nk=\r\nj=1\r\n", "S", "k", "v", "[S]\r\nk=v\r\nj=1\r\n"},
      {"replace a blank value", "[S]\r\nk=   \r\n", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"replace keeps LF", "[S]\nk=1\nj=2\n", "S", "k", "3", "[S]\nk=3\nj=2\n"},
      {"replace keeps the other line ends", "[S]\r\nk=1\nj=2\r", "S", "j", "3",
       "[S]\r\nk=1\nj=3\r"},
      {"replace the last line without a break", "[S]\r\nk=1", "S", "k", "2", "[S]\r\nk=2"},
      {"replace the first of duplicate keys", "[S]\r\nk=1\r\nk=2\r\n", "S", "K", "3",
       "[S]\r\nk=3\r\nk=2\r\n"},
      {"replace in the first of duplicate sections", "[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k", "3",
       "[S]\r\nk=3\r\n[S]\r\nk=2\r\n"},
      {"replace drops the rest of a line after NUL", "[S]\r\nk=a\0b\r\nj=1\r\n"s, "S", "k", "c",
       "[S]\r\nk=c\r\nj=1\r\n"},
      {"append at the end of a section in the middle",
       "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nz=3\r\n", "b", "n", "v",
       "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\nn=v\r\n\r\n[C]\r\nz=3\r\n"},
      {"append after the last key line, before trailing junk",
       "[A]\r\nx=1\r\n; comment\r\njunk\r\n\r\n[B]\r\n", "A", "n", "v",
       "[A]\r\nx=1\r\nn=v\r\n; comment\r\njunk\r\n\r\n[B]\r\n"},
      {"append to a section without keys", "[A]\r\n\r\n[B]\r\nx=1\r\n", "A", "n", "v",
       "[A]\r\nn=v\r\n\r\n[B]\r\nx=1\r\n"},
      {"append after a last line without a break", "[A]\r\nx=1", "A", "n", "v",
       "[A]\r\nx=1\r\nn=v\r\n"},
      {"append after a header without a break", "[A]", "A", "n", "v", "[A]\r\nn=v\r\n"},
      {"append uses LF in an LF file", "[A]\nx=1\n", "A", "n", "v", "[A]\nx=1\nn=v\n"},
      {"append uses CR in a CR file", "[A]\rx=1\r", "A", "n", "v", "[A]\rx=1\rn=v\r"},
      {"new section at the end", "[A]\r\nx=1\r\n", "B", "n", "v", "[A]\r\nx=1\r\n[B]\r\nn=v\r\n"},
      {"new section after a last line without a break", "[A]\nx=1", "B", "n", "v",
       "[A]\nx=1\n[B]\nn=v\n"},
      {"new section in a file of garbage", "garbage\0\x01"s, "S", "k", "v",
       "garbage\0\x01\r\n[S]\r\nk=v\r\n"s},
      {"keys before any section are not the section's", "k=1\r\n", "S", "k", "2",
       "k=1\r\n[S]\r\nk=2\r\n"},
      {"Cyrillic names and value", "[Жанры]\r\nРок=ULTRA\r\n", "ЖАНРЫ", "рок", "Ультра",
       "[Жанры]\r\nРок=Ультра\r\n"},
      {"track path as section", "", "/m/[Live] Ёж.mp3", "RAIT", "1",
       "[/m/[Live] Ёж.mp3]\r\nRAIT=1\r\n"},
      {"foreign characters become '?'", "", "S", "k", "Beyoncé 日本", "[S]\r\nk=Beyonc? ??\r\n"},
      {"line breaks in a value become spaces", "[S]\r\nk=1\r\n", "S", "k", "a\r\n[T]\nb=c",
       "[S]\r\nk=a  [T] b=c\r\n"},
      {"line breaks in a section name become spaces", "", "a\nb", "k", "v", "[a b]\r\nk=v\r\n"},
      {"NUL ends a value", "", "S", "k", "ab\0cd"s, "[S]\r\nk=ab\r\n"},
      {"names are trimmed", "", " S ", " k ", " v ", "[S]\r\nk= v \r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpdateValue(Cp(c.before), c.section, c.key, c.value), Cp(c.after)) << c.what;
  }
}

TEST(ProfileWrite, WhatIsWrittenReadsBack) {
  const std::string values[] = {"",        "plain",  " blanks ", "\"quoted\"", "'single'",
                                "a=b=c",   "Привет", "[S]",      ";x",         "\"",
                                "\tx\t\t", "\"a'",   "ЁёЖж",     "k=v\r\nj=w"};
  for (const std::string& before :
       {std::string(), std::string("[S]\nk=1\n[T]\nk=2\n"), Utf16File(u"[T]\r\nk=1\r\n")}) {
    for (const auto& value : values) {
      const std::string after = UpdateValue(before, "s", "K", value);
      std::string expected(TrimBlanks(value));
      for (char& c : expected) {
        if (c == '\r' || c == '\n') c = ' ';
      }
      if (expected.size() >= 2 && (expected[0] == '"' || expected[0] == '\'') &&
          expected.back() == expected[0]) {
        expected = expected.substr(1, expected.size() - 2);
      }
      EXPECT_EQ(LookupValue(after, "S", "k"), expected) << value;
      EXPECT_EQ(LookupValue(after, "T", "k"), LookupValue(before, "T", "k")) << value;
    }
  }
}

TEST(ProfileWrite, Utf16FileStaysUtf16WithBom) {
  const std::string before = Utf16File(u"[Настройки]\r\nПодпись=старая\r\n\r\n[B]\r\nx=1\r\n");
  EXPECT_EQ(UpdateValue(before, "настройки", "ПОДПИСЬ", "новая 日本"),
            Utf16File(u"[Настройки]\r\nПодпись=новая 日本\r\n\r\n[B]\r\nx=1\r\n"));
  EXPECT_EQ(UpdateValue(before, "Настройки", "Ключ", "з"),
            Utf16File(u"[Настройки]\r\nПодпись=старая\r\nКлюч=з\r\n\r\n[B]\r\nx=1\r\n"));
  EXPECT_EQ(
      UpdateValue(before, "C", "k", "\U0001F3B5"),
      Utf16File(u"[Настройки]\r\nПодпись=старая\r\n\r\n[B]\r\nx=1\r\n[C]\r\nk=\U0001F3B5\r\n"));
  // A BOM alone is an empty UTF-16 file; an odd last byte stays where it was.
  EXPECT_EQ(UpdateValue("\xFF\xFE", "S", "k", "v"), Utf16File(u"[S]\r\nk=v\r\n"));
  EXPECT_EQ(UpdateValue(Utf16File(u"[S]\nk=1\n") + "\x7F", "S", "k", "2"),
            Utf16File(u"[S]\nk=2\n") + "\x7F");
}

TEST(ProfileWrite, KeysThatCouldNotBeReadBackAreRefused) {
  for (const char* key : {"a=b", "=", "[x", " [x]"}) {
    EXPECT_THROW(UpdateValue("", "S", key, "v"), std::invalid_argument) << key;
  }
}

}  // namespace
}  // namespace kalvira::profile_detail
