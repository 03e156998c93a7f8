// The Windows-1251 codec: the "8-bit text" of the program. Settings, list files, the
// database connection, the cipher and some tag fields hold text in this code page;
// inside the program every text is UTF-8.
//
// All functions are pure and may be called from any thread.
#pragma once

#include <string>
#include <string_view>

namespace kalvira {

// The code point of one Windows-1251 byte. The one byte the code page leaves
// undefined (0x98) maps to U+0098, so every byte string survives a round trip.
char32_t Cp1251ToCodePoint(unsigned char byte);

// The Windows-1251 byte of a code point, or -1 when the code page has none.
int CodePointToCp1251(char32_t code_point);

std::string Cp1251ToUtf8(std::string_view cp1251);

// Characters without a Windows-1251 byte, and bytes that are not valid UTF-8, become "?".
std::string Utf8ToCp1251(std::string_view utf8);

// True when every character of `utf8` has a Windows-1251 byte (and `utf8` is valid).
bool FitsCp1251(std::string_view utf8);

}  // namespace kalvira
