// TGenreReader, how the scan reads a file's genre: exactly the Genre the MP3 input's tag
// record would hold after opening that file (the media reader's genre attribute, cut at
// a zero character), through one media reader of the scan's own that is reused for every
// file, so the playing chain is never touched and no decoder is set up per file.
//
// A file counts as unreadable where the input would not open it for playing: the reader
// refuses the data (not audio, at the start or from byte 30 on, as the input retries),
// it offers no format of the stream's own rate and channels, or it is protected.
//
// Threads: one thread at a time (the scan's).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "audio/media_reader.h"

namespace kalvira {

class TGenreReader {
 public:
  TGenreReader();  // over CreateMediaReader()
  explicit TGenreReader(std::unique_ptr<MediaReader> reader);
  ~TGenreReader();
  TGenreReader(const TGenreReader&) = delete;
  TGenreReader& operator=(const TGenreReader&) = delete;

  // The genre of the file at `path` (empty text when it has none), or nothing when the
  // file cannot be opened or would not play. The file is closed again on return.
  std::optional<std::string> Read(const std::string& path);

 private:
  std::unique_ptr<MediaReader> reader_;
};

}  // namespace kalvira
