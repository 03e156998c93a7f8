#include "platform/profile_format.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>

#include "base/cp1251.h"
#include "base/text.h"
#include "platform/profile.h"

namespace kalvira::profile_detail {
namespace {

// The text of a file is handled in its own encoding, unit by unit: Windows-1251 bytes as
// char, UTF-16LE code units as char16_t. Names from callers are converted once, so a
// lookup neither decodes nor allocates per line.

bool StartsWithUtf16Bom(std::string_view file) {
  return file.size() >= 2 && static_cast<unsigned char>(file[0]) == 0xFF &&
         static_cast<unsigned char>(file[1]) == 0xFE;
}

const std::array<unsigned char, 256>& Cp1251FoldTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const int folded =
          CodePointToCp1251(FoldCase(Cp1251ToCodePoint(static_cast<unsigned char>(b))));
      t[static_cast<std::size_t>(b)] = static_cast<unsigned char>(folded < 0 ? b : folded);
    }
    return t;
  }();
  return table;
}

unsigned Fold(char c) {
  return Cp1251FoldTable()[static_cast<unsigned char>(c)];
}
unsigned Fold(char16_t c) {
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  return static_cast<unsigned>(FoldCase(static_cast<char32_t>(c)));
}

template <class C>
bool NamesEqual(std::basic_string_view<C> a, std::basic_string_view<C> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

template <class C>
bool IsBlank(C c) {
  return c == C(' ') || c == C('\t');
}

template <class C>
std::basic_string_view<C> TrimmedView(std::basic_string_view<C> s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// One line: [begin, text_end) is its text (up to a NUL or the line break),
// [break_begin, end) its line break (empty on the last line of a file without one).
struct Line {
  std::size_t begin = 0;
  std::size_t text_end = 0;
  std::size_t break_begin = 0;
  std::size_t end = 0;
};

// Splits a text into lines. Works on UTF-16 code units one by one.
template <class C>
class LineScanner {
 public:
  explicit LineScanner(std::basic_string_view<C> text) : text_(text) {}

  bool Next(Line& line) {
    const std::size_t n = text_.size();
    if (pos_ >= n) return false;
    const C* p = text_.data();
    std::size_t i = pos_;
    std::size_t nul = n;
    for (; i < n; ++i) {
      const auto unit = static_cast<unsigned>(p[i]);
      if (unit > '\r') continue;  // the common case: an ordinary character
      if (unit == '\n' || unit == '\r') break;
      if (unit == 0 && nul == n) nul = i;
    }
    Finish(line, i, nul);
    return true;
  }

 private:
  void Finish(Line& line, std::size_t brk, std::size_t nul) {
    const std::size_t n = text_.size();
    line.begin = pos_;
    line.break_begin = brk;
    line.text_end = nul < brk ? nul : brk;
    if (brk + 1 < n && text_[brk] == C('\r') && text_[brk + 1] == C('\n')) {
      line.end = brk + 2;
    } else {
      line.end = brk < n ? brk + 1 : n;
    }
    pos_ = line.end;
  }

  std::basic_string_view<C> text_;
  std::size_t pos_ = 0;
};

// Windows-1251 text, the common case and the one that must be fast: memchr finds the
// next LF, CR and NUL, each search remembered until the scan passes it, so every byte is
// searched at most once per character (and CR-only files stay linear).
template <>
class LineScanner<char> {
 public:
  explicit LineScanner(std::string_view text) : text_(text) {}

  bool Next(Line& line) {
    const std::size_t n = text_.size();
    if (pos_ >= n) return false;
    const std::size_t lf = NextOf('\n', next_lf_);
    const std::size_t cr = NextOf('\r', next_cr_);
    const std::size_t brk = lf < cr ? lf : cr;
    const std::size_t nul = NextOf('\0', next_nul_);
    line.begin = pos_;
    line.break_begin = brk;
    line.text_end = nul < brk ? nul : brk;
    if (brk == cr && cr + 1 == lf && lf < n) {
      line.end = brk + 2;
    } else {
      line.end = brk < n ? brk + 1 : n;
    }
    pos_ = line.end;
    return true;
  }

 private:
  // The first `c` at or after pos_ (text size when none), searching only when the
  // remembered one lies behind.
  std::size_t NextOf(char c, std::size_t& cached) {
    if (cached != kUnknown && cached >= pos_) return cached;
    const void* hit = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
    cached = hit == nullptr
                 ? text_.size()
                 : static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
    return cached;
  }

  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t next_lf_ = kUnknown;
  std::size_t next_cr_ = kUnknown;
  std::size_t next_nul_ = kUnknown;
};

// The name of a section header line, or nothing when the line is not one.
template <class C>
std::optional<std::basic_string_view<C>> SectionName(std::basic_string_view<C> text) {
  std::size_t b = 0;
  while (b < text.size() && IsBlank(text[b])) ++b;
  if (b == text.size() || text[b] != C('[')) return std::nullopt;
  const std::size_t close = text.rfind(C(']'));
  if (close == std::basic_string_view<C>::npos || close <= b) return std::nullopt;
  return TrimmedView(text.substr(b + 1, close - b - 1));
}

// Where a key lives, or would go, in one file.
struct Location {
  bool section_found = false;
  // Where a new key of the section goes: after its last key line, or after its header.
  std::size_t insert_at = 0;
  bool insert_needs_break = false;  // that line is the file's last and has no line break
  bool key_found = false;
  std::size_t value_begin = 0;  // the raw value: after "=", up to a NUL or the line break
  std::size_t value_end = 0;
  std::size_t break_begin = 0;  // the key line's line break
};

template <class C>
Location Locate(std::basic_string_view<C> text, std::basic_string_view<C> section,
                std::basic_string_view<C> key) {
  Location loc;
  LineScanner<C> scanner(text);
  Line line;
  bool inside = false;  // in the first section named `section`
  while (scanner.Next(line)) {
    const auto line_text = text.substr(line.begin, line.text_end - line.begin);
    if (const auto name = SectionName(line_text)) {
      if (inside) break;  // later sections of the same name do not count
      if (!loc.section_found && NamesEqual(*name, section)) {
        inside = true;
        loc.section_found = true;
        loc.insert_at = line.end;
        loc.insert_needs_break = line.break_begin == line.end;
      }
      continue;
    }
    if (!inside) continue;
    const std::size_t eq = line_text.find(C('='));
    if (eq == std::basic_string_view<C>::npos) continue;  // not a key line
    loc.insert_at = line.end;
    loc.insert_needs_break = line.break_begin == line.end;
    if (NamesEqual(TrimmedView(line_text.substr(0, eq)), key)) {
      loc.key_found = true;
      loc.value_begin = line.begin + eq + 1;
      loc.value_end = line.text_end;
      loc.break_begin = line.break_begin;
      break;
    }
  }
  return loc;
}

// The line break the file already uses; CRLF for a new file or one without breaks.
template <class C>
std::basic_string<C> LineBreakOf(std::basic_string_view<C> text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == C('\n')) return {C('\n')};
    if (text[i] == C('\r')) {
      if (i + 1 < text.size() && text[i + 1] == C('\n')) return {C('\r'), C('\n')};
      return {C('\r')};
    }
  }
  return {C('\r'), C('\n')};
}

template <class C>
std::basic_string<C> Update(std::basic_string_view<C> text, std::basic_string_view<C> section,
                            std::basic_string_view<C> key, std::basic_string_view<C> value) {
  const Location loc = Locate(text, section, key);
  const std::basic_string<C> brk = LineBreakOf(text);
  std::basic_string<C> out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (loc.key_found) {
    // Blanks after "=" stay when a value follows them, so "key = old" becomes "key = new".
    std::size_t from = loc.value_begin;
    while (from < loc.value_end && IsBlank(text[from])) ++from;
    if (from == loc.value_end) from = loc.value_begin;
    out.append(text.substr(0, from));
    out.append(value);
    out.append(text.substr(loc.break_begin));
  } else if (loc.section_found) {
    out.append(text.substr(0, loc.insert_at));
    if (loc.insert_needs_break) out.append(brk);
    out.append(key);
    out.push_back(C('='));
    out.append(value);
    out.append(brk);
    out.append(text.substr(loc.insert_at));
  } else {
    out.append(text);
    if (!text.empty() && text.back() != C('\n') && text.back() != C('\r')) out.append(brk);
    out.push_back(C('['));
    out.append(section);
    out.push_back(C(']'));
    out.append(brk);
    out.append(key);
    out.push_back(C('='));
    out.append(value);
    out.append(brk);
  }
  return out;
}

// What a read returns of a raw value: trimmed, one pair of enclosing quotes removed.
template <class C>
std::basic_string_view<C> Unquoted(std::basic_string_view<C> raw) {
  auto v = TrimmedView(raw);
  if (v.size() >= 2 && (v.front() == C('"') || v.front() == C('\'')) && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

std::string Cp1251ValueToUtf8(std::string_view value) {
  return Cp1251ToUtf8(value.substr(0, kMaxProfileValueLength));
}

std::string Utf16ValueToUtf8(std::u16string_view value) {
  std::size_t i = 0;
  for (std::size_t chars = 0; i < value.size() && chars < kMaxProfileValueLength; ++chars) {
    const bool pair = value[i] >= 0xD800 && value[i] <= 0xDBFF && i + 1 < value.size() &&
                      value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF;
    i += pair ? 2 : 1;
  }
  return Utf16ToUtf8(value.substr(0, i));
}

std::u16string DecodeUtf16(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

void AppendUtf16(std::string& out, std::u16string_view units) {
  for (const char16_t u : units) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
}

// A name or value as a caller gives it, in the form it has in a file: a NUL ends it
// (as it ends the platform's strings) and a line break inside it becomes a space.
std::string OneLine(std::string_view text) {
  std::string out(text.substr(0, text.find('\0')));
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

std::string NameOf(std::string_view name) {
  const std::string line = OneLine(name);
  return std::string(TrimmedView(std::string_view(line)));
}

}  // namespace

std::string LookupValue(std::string_view file, std::string_view section, std::string_view key) {
  const std::string section_name = NameOf(section);
  const std::string key_name = NameOf(key);
  if (StartsWithUtf16Bom(file)) {
    const std::u16string text = DecodeUtf16(file.substr(2));
    const std::u16string s = Utf8ToUtf16(section_name);
    const std::u16string k = Utf8ToUtf16(key_name);
    const std::u16string_view view(text);
    const Location loc = Locate<char16_t>(view, s, k);
    if (!loc.key_found) return {};
    return Utf16ValueToUtf8(
        Unquoted(view.substr(loc.value_begin, loc.value_end - loc.value_begin)));
  }
  const std::string s = Utf8ToCp1251(section_name);
  const std::string k = Utf8ToCp1251(key_name);
  const Location loc = Locate<char>(file, s, k);
  if (!loc.key_found) return {};
  return Cp1251ValueToUtf8(Unquoted(file.substr(loc.value_begin, loc.value_end - loc.value_begin)));
}

std::string UpdateValue(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value) {
  const std::string section_name = NameOf(section);
  const std::string key_name = NameOf(key);
  if (key_name.find('=') != std::string::npos || (!key_name.empty() && key_name[0] == '[')) {
    throw std::invalid_argument("a profile key cannot hold '=' or start with '['");
  }
  const std::string line_value = OneLine(value);
  if (StartsWithUtf16Bom(file)) {
    const std::u16string text = DecodeUtf16(file.substr(2));
    const std::u16string updated = Update<char16_t>(text, Utf8ToUtf16(section_name),
                                                    Utf8ToUtf16(key_name), Utf8ToUtf16(line_value));
    std::string out(file.substr(0, 2));
    out.reserve(2 + updated.size() * 2 + 1);
    AppendUtf16(out, updated);
    if (file.size() % 2 != 0) out.push_back(file.back());  // an odd last byte stays
    return out;
  }
  return Update<char>(file, Utf8ToCp1251(section_name), Utf8ToCp1251(key_name),
                      Utf8ToCp1251(line_value));
}

}  // namespace kalvira::profile_detail
