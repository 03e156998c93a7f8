// Private-profile INI files, the way the platform's profile calls read and write them.
// This is the only code that touches the bytes of config.ini and sraiting.ini.
//
// Format:
// - "[name]" opens a section; "key=value" lines belong to the section above them. Lines
//   before the first section, lines without "=" and "[" lines without "]" are ignored.
// - Section and key names match without regard to letter case (Latin and Cyrillic). A
//   section name runs to the last "]" of its line, so track paths holding brackets work.
// - Only the first section of a name counts, and in it only the first line of a key.
// - A line ends at CR, LF or CRLF. A NUL byte ends the line's text: the rest of that line
//   is ignored (and dropped when that key is rewritten).
// - The file is Windows-1251 unless it starts with the UTF-16LE byte-order mark, in
//   which case it is UTF-16LE and stays so. Names and values cross this interface as
//   UTF-8; characters a Windows-1251 file cannot hold are stored as "?".
//
// Every call opens the file, does one read or one write and closes it again; nothing is
// cached. Calls may come from any thread, but two writes to the same file must not run
// at the same time (the later rename would drop the earlier change).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/exception.h"

namespace kalvira {

// A write the system refused. The message is "Unable to write to <path>".
class ProfileWriteError : public Exception {
 public:
  explicit ProfileWriteError(const std::string& path);
};

// The longest value a read returns, in characters.
inline constexpr std::size_t kMaxProfileValueLength = 2047;

// The value of `key` in `section`, blanks (spaces, tabs) around it dropped, then one pair
// of enclosing double or single quotes removed, then cut to kMaxProfileValueLength
// characters. Empty when the file, the section or the key is missing or the file cannot
// be read; a read never creates anything.
//
// In names, blanks around them are ignored, a NUL ends them, and CR or LF count as a
// space (the same rule as for writes, so what was written is found again).
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key);

// Sets `key` of `section` to `value`. Creates the file (Windows-1251, CRLF lines) and the
// section (at the end of the file) as needed; replaces the value of an existing key in
// its line and adds a new key after the last key line of its section. Every other byte
// of the file stays as it was, line endings included; new lines use the file's own line
// ending. A NUL ends `value`; CR and LF in it are written as spaces, so a value can never
// break the file into extra lines or sections.
//
// The new file is written to a temporary file in the same folder, flushed to disk and
// renamed over the old one, keeping the old file's permissions: the file is either the
// old one or the new one, never a torn mix. A symbolic link is followed and its target
// replaced.
//
// Throws ProfileWriteError (nothing changed, no temporary file left) when the system
// refuses: a read-only file or folder, a folder that does not exist, a file that exists
// but cannot be read, a full disk. Also when `key` cannot be stored (it holds "=" or
// starts with "["), since it could never be read back.
void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace kalvira
