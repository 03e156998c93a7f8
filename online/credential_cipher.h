// The credential cipher: the one reversible, deterministic text form of an account
// password, kept in the service's ut_users table and in config.ini. The login compares
// these cipher texts, so every copy of the program must derive the same key.
//
// Text in and out is UTF-8; the cipher works on its Windows-1251 bytes. Every call
// derives the key afresh from the pass phrase; nothing is cached. Any thread.
#pragma once

#include <string>
#include <string_view>

#include "online/cipher_exception.h"

namespace kalvira {

// The pass phrase: 32 characters picked by index from a fixed 48-character alphabet of
// Latin letters and digits, then a fixed 4-character suffix. Built at every call.
std::string CredentialPassPhrase();

// Base64 of the encrypted Windows-1251 bytes of `text` (characters outside the code page
// become "?"). Never fails.
std::string EncryptCredential(std::string_view text);

// The reverse of EncryptCredential. Throws ECipherException for anything that is not
// such a cipher text: kInvalidBase64Character, kInvalidBase64Length, kInvalidFileFormat
// (fewer than 16 bytes, the empty text included) or kInvalidFinalBlock.
std::string DecryptCredential(std::string_view text);

}  // namespace kalvira
