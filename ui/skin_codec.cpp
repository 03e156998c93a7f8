#include "ui/skin_codec.h"

#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace kalvira::ui {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& reason) {
  throw ESkinError("skin file '" + what + "': " + reason);
}

bool ValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (s.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

// Braces outside comments and strings must balance; a sheet of no rules at all is no skin.
bool BalancedBraces(std::string_view s) {
  long depth = 0;
  bool any_rule = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      const auto end = s.find("*/", i + 2);
      if (end == std::string_view::npos) return false;
      i = end + 1;
    } else if (c == '"' || c == '\'') {
      const auto end = s.find(c, i + 1);
      if (end == std::string_view::npos) return false;
      i = end;
    } else if (c == '{') {
      ++depth;
      any_rule = true;
    } else if (c == '}') {
      if (--depth < 0) return false;
    }
  }
  return depth == 0 && any_rule;
}

std::string CheckText(std::string text, const std::string& what) {
  if (text.size() > kMaxSkinTextBytes) {
    Fail(what, "the style sheet is larger than " + std::to_string(kMaxSkinTextBytes) + " bytes");
  }
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  if (text.find('\0') != std::string::npos) Fail(what, "not a style sheet (holds NUL bytes)");
  if (!ValidUtf8(text)) Fail(what, "not UTF-8 text");
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) Fail(what, "empty style sheet");
  if (!BalancedBraces(text)) {
    Fail(what, "not a style sheet (no rules, or unbalanced braces, comments or quotes)");
  }
  return text;
}

std::string Inflate(std::string_view bytes, const std::string& what) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) Fail(what, "cannot start the zlib decoder");
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  std::string out;
  std::vector<char> chunk(64 * 1024);
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(chunk.data());
    z.avail_out = static_cast<uInt>(chunk.size());
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    out.append(chunk.data(), chunk.size() - z.avail_out);
    if (out.size() > kMaxSkinTextBytes) {
      inflateEnd(&z);
      Fail(what, "the compressed style sheet inflates to more than " +
                     std::to_string(kMaxSkinTextBytes) + " bytes");
    }
    if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) {
      rc = Z_BUF_ERROR;  // the input ended before the stream did
    }
  }
  const std::string message = z.msg ? z.msg : "";
  const bool trailing = rc == Z_STREAM_END && z.avail_in != 0;
  inflateEnd(&z);
  if (rc != Z_STREAM_END) {
    Fail(what, rc == Z_BUF_ERROR ? "the compressed data is cut short"
                                 : "bad compressed data" + (message.empty() ? "" : ": " + message));
  }
  if (trailing) Fail(what, "bytes after the end of the compressed data");
  return out;
}

}  // namespace

bool IsCompressedSkin(std::string_view bytes) {
  if (bytes.size() < 2) return false;
  const auto cmf = static_cast<unsigned char>(bytes[0]);
  const auto flg = static_cast<unsigned char>(bytes[1]);
  return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (flg & 0x20) == 0 && ((cmf << 8) | flg) % 31 == 0;
}

std::string DecodeSkinBytes(std::string_view bytes, const std::string& what) {
  if (bytes.empty()) Fail(what, "the file is empty");
  if (IsCompressedSkin(bytes)) return CheckText(Inflate(bytes, what), what);
  if (bytes.size() > kMaxSkinTextBytes) {
    Fail(what, "the style sheet is larger than " + std::to_string(kMaxSkinTextBytes) + " bytes");
  }
  return CheckText(std::string(bytes), what);
}

std::string CompressSkinText(std::string_view text, const std::string& what) {
  const std::string checked = CheckText(std::string(text), what);
  uLongf size = compressBound(static_cast<uLong>(checked.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(checked.data()), static_cast<uLong>(checked.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    Fail(what, "cannot compress");
  }
  out.resize(size);
  return out;
}

std::string ReadSkinFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(path, std::string("cannot open: ") + std::strerror(errno));
  // The compressed form of the largest sheet is smaller than the sheet, so a file past the
  // cap is no skin whichever form it has; reading stops there.
  std::string bytes;
  std::vector<char> chunk(64 * 1024);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxSkinTextBytes) {
      Fail(path, "the file is larger than " + std::to_string(kMaxSkinTextBytes) + " bytes");
    }
  }
  if (in.bad()) Fail(path, std::string("cannot read: ") + std::strerror(errno));
  return bytes;
}

}  // namespace kalvira::ui
