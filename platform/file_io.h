// Whole-file reads and atomic whole-file replaces: the two ways the program touches the
// bytes of the files it owns (settings, votes, station lists).
//
// A replace writes a temporary file in the target's folder, flushes it to disk and
// renames it over the target, so the target is always either the old file or the new
// one, never a torn mix, whenever the process dies. The old file's permissions (and, for
// root, its owner) are kept; a symbolic link is followed and its target replaced.
//
// A write killed on the way leaves no litter for good: the temporary has no name until
// it is complete where the filesystem allows (O_TMPFILE), so it vanishes with its
// writer; a temporary that did get its name (".<name>.tmp-<pid>-...") is held under a
// lock while its writer lives, and the next replace of the same file removes the ones
// whose writers have died.
//
// Any thread may call these; two replaces of the same file must not overlap (the later
// rename would drop the earlier content).
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

namespace kalvira {

enum class ReadResult {
  kRead,     // `out` holds the whole file
  kMissing,  // no such file
  kFailed,   // it exists but cannot be read (or is not a regular file)
};

// Reads the regular file at `path` whole into `out`, in one buffer. `info`, when given,
// receives its metadata on kRead.
ReadResult ReadWholeFile(const std::string& path, std::string& out, struct stat* info = nullptr);

// The file a write really replaces: the final target of a chain of symbolic links, else
// `path` itself (also for a link loop, which the write then fails on).
std::string ResolveWriteTarget(const std::string& path);

// How a replace makes its temporary file.
enum class TempNaming {
  // Without a name (O_TMPFILE) until it is complete, where the folder's filesystem
  // allows it; otherwise as kNamed.
  kUnnamedWhereSupported,
  // Under its name from the start (filesystems without unnamed files; tests).
  kNamed,
};

// Puts `bytes` in place of the file at `target` (which may not exist yet; no link is
// followed here, see ResolveWriteTarget). `old` carries the old file's metadata, kept
// on the new file. Returns false when the system refuses; nothing has changed then and
// no temporary file is left.
bool ReplaceFile(const std::string& target, std::string_view bytes,
                 const std::optional<struct stat>& old,
                 TempNaming naming = TempNaming::kUnnamedWhereSupported);

// The whole write of a file that may or may not exist: follows links, refuses a file
// that exists but cannot be read or written (the platform refuses read-only files) and
// replaces it atomically. Returns false on any refusal, the file unchanged.
bool ReplaceFileContents(const std::string& path, std::string_view bytes,
                         TempNaming naming = TempNaming::kUnnamedWhereSupported);

}  // namespace kalvira
