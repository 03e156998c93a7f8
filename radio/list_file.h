// Station list files: one full path of an MP3 file per line, in the program folder. This
// is the only code that knows their bytes.
//
// As written: every line, the last one included, ends with CR LF; Windows-1251 without a
// byte-order mark. A list holding a path that Windows-1251 cannot represent is written
// as UTF-8 with a byte-order mark instead, so no path is ever changed on its way to the
// file. Every write replaces the file atomically (platform/file_io.h).
//
// As read: a byte-order mark (UTF-8, UTF-16LE, UTF-16BE) selects that encoding and is
// skipped; otherwise the text is Windows-1251. Lines end at CR LF, a lone CR or a lone
// LF; a break at the very end adds no entry, an empty line inside is an entry (an empty
// path). Paths cross this interface as UTF-8 (bytes of a UTF-8 file as they stand).
//
// Plain functions and a value type; any thread, no shared state.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalvira {

// A list file read into memory. Lines are counted when it is read and found again on
// demand, with no table of lines: drawing one entry of a collection's list costs one read
// and two scans of the bytes, and no allocation that grows with the list.
class TListFile {
 public:
  // The content of the file at `path`, or nothing when it is missing or cannot be read.
  static std::optional<TListFile> Read(const std::string& path);
  // The list in `bytes`, the whole content of a list file.
  static TListFile Parse(std::string bytes);

  std::size_t Count() const { return count_; }
  // Entry `index` (< Count(); std::out_of_range otherwise) as UTF-8. Scans the bytes up to
  // that line: for every entry use Entries().
  std::string Entry(std::size_t index) const;
  // Every entry, in file order.
  std::vector<std::string> Entries() const;

 private:
  enum class Encoding { kCp1251, kUtf8, kUtf16Le, kUtf16Be };

  TListFile(std::string bytes, Encoding encoding, std::size_t start);

  // Calls visit(first, last) with the byte range of every line in bytes_ (line breaks
  // excluded), in order, until it returns false.
  template <typename Visit>
  void ForEachLine(Visit visit) const;
  std::string Decode(std::size_t first, std::size_t last) const;

  std::string bytes_;
  Encoding encoding_ = Encoding::kCp1251;
  std::size_t start_ = 0;  // after the byte-order mark
  std::size_t count_ = 0;
};

// The bytes of a list file holding `entries` (see the top of this file).
// REQUIRES: no entry holds CR or LF (such a name cannot be one line).
std::string EncodeListFile(const std::vector<std::string>& entries);

// Replaces the list file at `path` with `entries`, atomically. Throws ProfileWriteError
// ("Unable to write to <path>") when the system refuses (the old file stays whole), and
// std::invalid_argument for an entry holding CR or LF (nothing is written).
void WriteListFile(const std::string& path, const std::vector<std::string>& entries);

// The path of the list file `name` in `program_dir` (which ends with "/"): list file names
// are matched without regard to letter case, so an existing file whose name differs only
// in case is that file. Without one, program_dir + name.
std::string ListFilePath(const std::string& program_dir, std::string_view name);

}  // namespace kalvira
