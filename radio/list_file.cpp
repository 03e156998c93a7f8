#include "radio/list_file.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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

// The first CR or LF in [p, end), or end. Sixteen bytes at a time where SSE2 is there:
// a list of a whole collection is split about as fast as it is read.
const char* FindLineBreak(const char* p, const char* const end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int mask =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf)));
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}

// Line breaks of 8-bit text: CR LF, a lone CR and a lone LF each end one line. Counted
// sixteen bytes at a time where SSE2 is there, since a draw counts the whole list.
class BreakScanner {
 public:
  BreakScanner(const std::string& bytes, std::size_t start)
      : base_(bytes.data()), at_(start), end_(bytes.size()) {}

  // Moves past whole blocks of bytes while they hold fewer than `wanted` breaks; returns
  // how many breaks it passed. The exact position of a break is then found byte by byte,
  // at most one block further on.
  std::size_t SkipChunks(std::size_t wanted) {
    std::size_t passed = 0;
#if defined(__SSE2__)
    // A block is at most 255 chunks of 16 bytes, so a byte's count cannot overflow.
    constexpr std::size_t kBlock = 255 * 16;
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end_ - at_ >= 16) {
      const std::size_t block = std::min(kBlock, (end_ - at_) / 16 * 16);
      __m128i previous_cr = _mm_setzero_si128();
      if (after_cr_) previous_cr = _mm_insert_epi16(previous_cr, -256, 7);  // byte 15: 0xFF
      __m128i counts = _mm_setzero_si128();
      for (std::size_t i = 0; i < block; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base_ + at_ + i));
        const __m128i crs = _mm_cmpeq_epi8(chunk, cr);
        const __m128i lfs = _mm_cmpeq_epi8(chunk, lf);
        // A byte's left neighbour is a CR: an LF there is the second half of a CR LF.
        const __m128i cr_before =
            _mm_or_si128(_mm_slli_si128(crs, 1), _mm_srli_si128(previous_cr, 15));
        const __m128i breaks = _mm_or_si128(crs, _mm_andnot_si128(cr_before, lfs));
        counts = _mm_sub_epi8(counts, breaks);  // a break is -1 in its byte
        previous_cr = crs;
      }
      const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
      const auto breaks = static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                          static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
      if (passed + breaks >= wanted) break;
      passed += breaks;
      at_ += block;
      after_cr_ = base_[at_ - 1] == '\r';
    }
#else
    (void)wanted;
#endif
    return passed;
  }

  // Moves past the next break byte by byte; false at the end of the text.
  bool SkipBreak() {
    for (; at_ < end_; ++at_) {
      const char c = base_[at_];
      if (c == '\r' || (c == '\n' && !after_cr_)) {
        after_cr_ = c == '\r';
        ++at_;
        return true;
      }
      after_cr_ = false;
    }
    return false;
  }

  // The line that starts here ends at the next CR or LF; the LF of a CR LF whose CR
  // was the last break belongs to that break.
  std::pair<std::size_t, std::size_t> LineHere() {
    if (after_cr_ && at_ < end_ && base_[at_] == '\n') ++at_;
    after_cr_ = false;
    const char* const line_end = FindLineBreak(base_ + at_, base_ + end_);
    return {at_, static_cast<std::size_t>(line_end - base_)};
  }

 private:
  const char* const base_;
  std::size_t at_;
  const std::size_t end_;
  bool after_cr_ = false;
};

std::size_t CountLines(const std::string& bytes, std::size_t start) {
  if (bytes.size() <= start) return 0;
  BreakScanner scanner(bytes, start);
  std::size_t breaks = scanner.SkipChunks(static_cast<std::size_t>(-1));
  while (scanner.SkipBreak()) ++breaks;
  const char last = bytes.back();
  return breaks + (last != '\r' && last != '\n' ? 1 : 0);
}

// The byte range of line `index` (< the count of lines).
std::pair<std::size_t, std::size_t> FindLine(const std::string& bytes, std::size_t start,
                                             std::size_t index) {
  BreakScanner scanner(bytes, start);
  std::size_t passed = index == 0 ? 0 : scanner.SkipChunks(index);
  while (passed < index && scanner.SkipBreak()) ++passed;
  return scanner.LineHere();
}

char16_t Unit(const std::string& bytes, std::size_t at, bool little_endian) {
  const auto lo = static_cast<unsigned char>(bytes[little_endian ? at : at + 1]);
  const auto hi = static_cast<unsigned char>(bytes[little_endian ? at + 1 : at]);
  return static_cast<char16_t>(lo | (hi << 8));
}

// Line ranges of UTF-16 text, given to visit(first, last) until it returns false; a
// trailing odd byte is not a character and is ignored.
template <typename Visit>
void VisitUtf16(const std::string& bytes, std::size_t start, bool little_endian, Visit& visit) {
  const std::size_t end = start + (bytes.size() - start) / 2 * 2;
  std::size_t line_start = start;
  std::size_t at = start;
  while (at < end) {
    const char16_t unit = Unit(bytes, at, little_endian);
    if (unit != u'\r' && unit != u'\n') {
      at += 2;
      continue;
    }
    if (!visit(line_start, at)) return;
    at += 2;
    if (unit == u'\r' && at < end && Unit(bytes, at, little_endian) == u'\n') at += 2;
    line_start = at;
  }
  if (line_start < end) visit(line_start, end);
}

}  // namespace

TListFile::TListFile(std::string bytes, Encoding encoding, std::size_t start)
    : bytes_(std::move(bytes)), encoding_(encoding), start_(start) {
  if (encoding_ == Encoding::kCp1251 || encoding_ == Encoding::kUtf8) {
    count_ = CountLines(bytes_, start_);
    return;
  }
  ForEachLine([this](std::size_t, std::size_t) {
    ++count_;
    return true;
  });
}

template <typename Visit>
void TListFile::ForEachLine(Visit visit) const {
  switch (encoding_) {
    case Encoding::kCp1251:
    case Encoding::kUtf8: {
      BreakScanner scanner(bytes_, start_);
      for (std::size_t i = 0; i < count_; ++i) {
        const auto [first, last] = scanner.LineHere();
        if (!visit(first, last)) return;
        scanner.SkipBreak();
      }
      break;
    }
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      VisitUtf16(bytes_, start_, encoding_ == Encoding::kUtf16Le, visit);
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
  if (index >= count_) throw std::out_of_range("no such list entry");
  if (encoding_ == Encoding::kCp1251 || encoding_ == Encoding::kUtf8) {
    const auto [first, last] = FindLine(bytes_, start_, index);
    return Decode(first, last);
  }
  std::size_t seen = 0;
  std::string entry;
  ForEachLine([&](std::size_t first, std::size_t last) {
    if (seen++ < index) return true;
    entry = Decode(first, last);
    return false;
  });
  return entry;
}

std::vector<std::string> TListFile::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(count_);
  ForEachLine([&](std::size_t first, std::size_t last) {
    entries.push_back(Decode(first, last));
    return true;
  });
  return entries;
}

std::string TListFile::Decode(std::size_t first, std::size_t last) const {
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
