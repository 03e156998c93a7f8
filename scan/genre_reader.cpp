#include "scan/genre_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kalvira {

namespace {

// The bytes of an open file, read where the reader asks (pread).
class FileSource final : public MediaSource {
 public:
  explicit FileSource(int fd) : fd_(fd) {}
  std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) override {
    for (;;) {
      const ssize_t n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
    }
  }
  std::int64_t Size() override {
    struct stat info {};
    return ::fstat(fd_, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
  }

 private:
  int fd_;
};

// Whether the open reader offers what the MP3 input would play: an audio output with a
// format of the stream's own rate and channels, not protected.
bool Playable(const MediaReader& reader) {
  if (reader.IsProtected()) return false;
  for (std::uint32_t i = 0; i < reader.OutputCount(); ++i) {
    if (!reader.IsAudioOutput(i)) continue;
    const MediaFormat current = reader.CurrentFormat(i);
    for (const MediaFormat& format : reader.OutputFormats(i)) {
      if (format.sample_rate == current.sample_rate && format.channels == current.channels) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

TGenreReader::TGenreReader() : TGenreReader(CreateMediaReader()) {}

TGenreReader::TGenreReader(std::unique_ptr<MediaReader> reader) : reader_(std::move(reader)) {}

TGenreReader::~TGenreReader() = default;

std::optional<std::string> TGenreReader::Read(const std::string& path) {
  if (!reader_ || path.find('\0') != std::string::npos) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  FileSource source(fd);
  std::optional<std::string> genre;
  // As the input does: some files carry junk before the audio that the reader only
  // skips from byte 30 on.
  if (reader_->Open(source, 0) || reader_->Open(source, 30)) {
    if (Playable(*reader_)) {
      std::string text = reader_->Attribute(media_attribute::kGenre).value_or(std::string());
      if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
      genre = std::move(text);
    }
    reader_->Close();
  }
  ::close(fd);
  return genre;
}

}  // namespace kalvira
