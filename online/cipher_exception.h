// The error of the credential cipher. Every failure of decoding or decrypting a stored
// password raises it; callers treat any of them as corrupt data.
#pragma once

#include <string>

#include "base/exception.h"

namespace kalvira {

class ECipherException : public Exception {
 public:
  using Exception::Exception;
};

// Message texts, used exactly as they stand.
inline constexpr const char* kInvalidBase64Character = "Invalid Base64 Character";
inline constexpr const char* kInvalidFileFormat = "Invalid file format";
// A Base64 text whose last group lacks characters: it cannot come from our encoder.
inline constexpr const char* kInvalidBase64Length = "Invalid Base64 Length";
// A final block whose length byte is above 15: it cannot come from our block layer.
inline constexpr const char* kInvalidFinalBlock = "Invalid final block length";

}  // namespace kalvira
