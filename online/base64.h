// Base64 as the stored credentials use it: RFC 4648 encoding with "=" padding and no
// line breaks, and a lenient group-by-group decoding of its own (below).
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace kalvira {

std::string Base64Encode(std::string_view bytes);

// Decodes groups of 4 characters. Every character must lie between "+" and "z" (codes 43
// to 122), else ECipherException kInvalidBase64Character; blanks and line breaks are not
// skipped. A character of that range outside the alphabet ("=" included) counts as 127.
// A group gives one byte, a second one unless its third character is "=", and a third
// one unless its third or fourth character is "=". A text whose length is not a multiple
// of 4 (and whose characters are all in range) fails with kInvalidBase64Length.
std::string Base64Decode(std::string_view text);

}  // namespace kalvira
