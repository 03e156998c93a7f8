// UTF-8 and UTF-16 helpers and the letter-case rules the program matches names with.
// All functions are pure and may be called from any thread.
#pragma once

#include <string>
#include <string_view>

namespace kalvira {

// Stands for one byte of malformed UTF-8 (or a lone surrogate) while decoding.
inline constexpr char32_t kInvalidCodePoint = 0xFFFFFFFF;

void AppendUtf8(std::string& out, char32_t code_point);

// Calls `fn(code_point)` for each character of `utf8`; every byte that does not start a
// well-formed sequence yields kInvalidCodePoint once.
template <class Fn>
void ForEachCodePoint(std::string_view utf8, Fn&& fn);

// Malformed input becomes U+FFFD in the result.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Simple case folding of the letters the program's code page knows (Latin, Latin-1,
// Cyrillic), as the platform compares section, key and genre names.
char32_t FoldCase(char32_t code_point);
std::string FoldCase(std::string_view utf8);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Drops leading and trailing blanks (space, tab, CR, LF).
std::string_view TrimBlanks(std::string_view text);

// ---------------------------------------------------------------------------------------

namespace text_detail {
// Decodes one character at `pos`; advances `pos`. Returns kInvalidCodePoint for a
// malformed sequence, consuming one byte.
char32_t DecodeUtf8(std::string_view utf8, std::size_t& pos);
}  // namespace text_detail

template <class Fn>
void ForEachCodePoint(std::string_view utf8, Fn&& fn) {
  std::size_t pos = 0;
  while (pos < utf8.size()) fn(text_detail::DecodeUtf8(utf8, pos));
}

}  // namespace kalvira
