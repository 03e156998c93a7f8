#include "radio/list_file.h"

#include <dirent.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "base/cp1251.h"
#include "base/text.h"
#include "platform/file_io.h"
#include "platform/profile.h"

namespace kalvira {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kLineEnd = "\r\n";

// Line ranges of 8-bit text from `start` on. memchr keeps a long list about as cheap to
// split as to read.
void SplitBytes(const std::string& bytes, std::size_t start,
                std::vector<std::pair<std::size_t, std::size_t>>& lines) {
  const char* const base = bytes.data();
  const char* p = base + start;
  const char* const end = base + bytes.size();
  while (p < end) {
    const char* lf =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* stop = lf != nullptr ? lf : end;
    const char* cr =
        static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(stop - p)));
    const char* line_end = cr != nullptr ? cr : stop;
    lines.emplace_back(static_cast<std::size_t>(p - base),
                       static_cast<std::size_t>(line_end - base));
    if (line_end == end) break;
    p = line_end + 1;
    if (*line_end == '\r' && p < end && *p == '\n') ++p;
  }
}

char16_t Unit(const std::string& bytes, std::size_t at, bool little_endian) {
  const auto lo = static_cast<unsigned char>(bytes[little_endian ? at : at + 1]);
  const auto hi = static_cast<unsigned char>(bytes[little_endian ? at + 1 : at]);
  return static_cast<char16_t>(lo | (hi << 8));
}

// Line ranges of UTF-16 text; a trailing odd byte is not a character and is ignored.
void SplitUtf16(const std::string& bytes, std::size_t start, bool little_endian,
                std::vector<std::pair<std::size_t, std::size_t>>& lines) {
  const std::size_t end = start + (bytes.size() - start) / 2 * 2;
  std::size_t line_start = start;
  std::size_t at = start;
  while (at < end) {
    const char16_t unit = Unit(bytes, at, little_endian);
    if (unit != u'\r' && unit != u'\n') {
      at += 2;
      continue;
    }
    lines.emplace_back(line_start, at);
    at += 2;
    if (unit == u'\r' && at < end && Unit(bytes, at, little_endian) == u'\n') at += 2;
    line_start = at;
  }
  if (line_start < end) lines.emplace_back(line_start, end);
}

}  // namespace

TListFile::TListFile(std::string bytes, Encoding encoding, std::size_t start)
    : bytes_(std::move(bytes)), encoding_(encoding) {
  switch (encoding_) {
    case Encoding::kCp1251:
    case Encoding::kUtf8:
      SplitBytes(bytes_, start, lines_);
      break;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      SplitUtf16(bytes_, start, encoding_ == Encoding::kUtf16Le, lines_);
      break;
  }
}

std::optional<TListFile> TListFile::Read(const std::string& path) {
  std::string bytes;
  if (ReadWholeFile(path, bytes) != ReadResult::kRead) return std::nullopt;
  return Parse(std::move(bytes));
}

TListFile TListFile::Parse(std::string bytes) {
  const std::string_view view(bytes);
  if (view.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    return TListFile(std::move(bytes), Encoding::kUtf8, kUtf8Bom.size());
  }
  if (view.substr(0, kUtf16LeBom.size()) == kUtf16LeBom) {
    return TListFile(std::move(bytes), Encoding::kUtf16Le, kUtf16LeBom.size());
  }
  if (view.substr(0, kUtf16BeBom.size()) == kUtf16BeBom) {
    return TListFile(std::move(bytes), Encoding::kUtf16Be, kUtf16BeBom.size());
  }
  return TListFile(std::move(bytes), Encoding::kCp1251, 0);
}

std::string TListFile::Entry(std::size_t index) const {
  const auto [first, last] = lines_.at(index);
  const std::string_view raw(bytes_.data() + first, last - first);
  switch (encoding_) {
    case Encoding::kCp1251:
      return Cp1251ToUtf8(raw);
    case Encoding::kUtf8:
      return std::string(raw);
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be: {
      std::u16string units;
      units.reserve(raw.size() / 2);
      for (std::size_t at = first; at < last; at += 2) {
        units.push_back(Unit(bytes_, at, encoding_ == Encoding::kUtf16Le));
      }
      return Utf16ToUtf8(units);
    }
  }
  return {};
}

std::vector<std::string> TListFile::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) entries.push_back(Entry(i));
  return entries;
}

std::string EncodeListFile(const std::vector<std::string>& entries) {
  bool fits = true;
  std::size_t size = kUtf8Bom.size();
  for (const std::string& entry : entries) {
    if (entry.find_first_of("\r\n") != std::string::npos) {
      throw std::invalid_argument("a list entry cannot hold a line break");
    }
    fits = fits && FitsCp1251(entry);
    size += entry.size() + kLineEnd.size();
  }
  std::string out;
  out.reserve(size);
  if (!fits) out += kUtf8Bom;
  for (const std::string& entry : entries) {
    out += fits ? Utf8ToCp1251(entry) : entry;
    out += kLineEnd;
  }
  return out;
}

void WriteListFile(const std::string& path, const std::vector<std::string>& entries) {
  const std::string bytes = EncodeListFile(entries);
  if (!ReplaceFileContents(path, bytes)) throw ProfileWriteError(path);
}

std::string ListFilePath(const std::string& program_dir, std::string_view name) {
  std::string exact = program_dir + std::string(name);
  if (::access(exact.c_str(), F_OK) == 0) return exact;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(program_dir.c_str()), &::closedir);
  if (!dir) return exact;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (EqualsIgnoreCase(entry->d_name, name)) return program_dir + entry->d_name;
  }
  return exact;
}

}  // namespace kalvira
