// The bytes of a skin file and the style-sheet text they hold, without the toolkit (the
// skin loader, the kalvira-skin tool and the tests share it).
//
// A skin file is a Qt style sheet in one of two forms:
//   plain:      UTF-8 text (an optional UTF-8 byte-order mark is dropped);
//   compressed: a zlib stream (RFC 1950: a two-byte header, deflate data, Adler-32)
//               of that text. It is recognised by its header: the first byte's low nibble
//               is 8 (deflate) with a window of at most 32 KiB, the two header bytes read
//               as a big-endian number are a multiple of 31, and no preset dictionary is
//               named. `kalvira-skin compress` writes this form (file name *.qssz by
//               custom). No plain style sheet starts with such a pair ("x^", "x\x9c",
//               "xÚ"...).
// Either way the text must be at most kMaxSkinTextBytes long, valid UTF-8, without NUL
// characters, not blank, and its braces must balance outside comments and strings: a file
// that fails any of these is not a skin.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/exception.h"

namespace kalvira::ui {

// A skin file that cannot be opened, read or decoded. The message names the file and the
// reason.
class ESkinError : public kalvira::Exception {
 public:
  using kalvira::Exception::Exception;
};

inline constexpr std::size_t kMaxSkinTextBytes = 4 * 1024 * 1024;

// True when `bytes` start with a zlib stream header as described above.
bool IsCompressedSkin(std::string_view bytes);

// The style-sheet text (UTF-8) of a skin file's bytes. Throws ESkinError with `what`
// (the file's name, for the message) when the bytes are not a skin.
std::string DecodeSkinBytes(std::string_view bytes, const std::string& what);

// The compressed form of a style-sheet text. Throws ESkinError when `text` is not a skin
// (the same checks as DecodeSkinBytes), so a broken sheet is never shipped.
std::string CompressSkinText(std::string_view text, const std::string& what);

// Reads a whole file; throws ESkinError when it cannot be opened or read, or when it is
// larger than any skin can be.
std::string ReadSkinFile(const std::string& path);

}  // namespace kalvira::ui
