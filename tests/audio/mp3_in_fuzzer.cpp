// Fuzzes the MP3 input over an in-memory file: opening through the media reader, the
// format choice, the tag record, a run read to the end, a seek and a loop. Whatever the
// bytes, nothing may crash, hang or allocate without bound.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "audio/au_exception.h"
#include "audio/mp3_in.h"

namespace {

// Enough decoded data to reach every decoder path; more only costs time.
constexpr std::size_t kMaxDecodedBytes = 8u << 20;
constexpr std::size_t kLoopBytes = 64u << 10;

class MemoryStream final : public kalvira::TAuStream {
 public:
  MemoryStream(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  std::size_t Read(void* dest, std::size_t count) override {
    const std::size_t n = position_ >= size_ ? 0 : std::min(count, size_ - position_);
    if (n > 0) std::memcpy(dest, bytes_ + position_, n);
    position_ += n;
    return n;
  }
  std::int64_t Seek(std::int64_t offset, int origin) override {
    const std::int64_t base = origin == SEEK_CUR   ? static_cast<std::int64_t>(position_)
                              : origin == SEEK_END ? static_cast<std::int64_t>(size_)
                                                   : 0;
    if (base + offset < 0) throw kalvira::EAuException("Invalid argument");
    position_ = static_cast<std::size_t>(base + offset);
    return base + offset;
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(size_); }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t position_ = 0;
};

void ReadSome(kalvira::TAuInput& input, std::size_t limit) {
  std::size_t total = 0;
  std::uint32_t sum = 0;
  while (total < limit) {
    const std::uint8_t* data = nullptr;
    std::uint32_t bytes = 8192;
    input.Read(data, bytes);
    if (bytes == 0) break;
    sum += data[0] + data[bytes - 1];  // the whole piece must be readable
    total += bytes;
  }
  (void)sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  MemoryStream stream(bytes, size);
  kalvira::TMP3In input;
  input.SetStream(&stream);
  // The last byte picks the channel request, so every format choice gets its turn.
  const std::uint8_t knob = size > 0 ? bytes[size - 1] : 0;
  if ((knob & 0x30) == 0x30) input.SetOutputChannels(kalvira::TChannelsNumber::cnMaxAvailable);
  if ((knob & 0x30) == 0x20) input.SetHighPrecision(true);
  try {
    kalvira::TId3v2Tags& tags = input.Id3v2Tags();
    (void)tags.Artist();
    (void)tags.Genre();
    (void)tags.Track();
    input.BeginRun();
  } catch (const kalvira::EAuException&) {
    return 0;
  }
  try {
    ReadSome(input, kMaxDecodedBytes);
    if (input.GetTotalSamples() > 0) input.Seek(input.GetTotalSamples() / 2);
    ReadSome(input, kMaxDecodedBytes / 4);
    // Looping never ends by itself: a few passes over a short file are enough.
    input.SetLoop(true);
    ReadSome(input, kLoopBytes);
  } catch (const kalvira::EAuException&) {
  }
  input.EndRun();
  return 0;
}
