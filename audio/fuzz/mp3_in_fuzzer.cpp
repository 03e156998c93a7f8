// Fuzzes the MP3 input over an in-memory file: opening, the format choice, the tag
// attributes, decoding to the end and positioning. Whatever the bytes, nothing may
// crash, hang or allocate without bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "audio/media_reader.h"

namespace {

// Enough decoded data to reach every decoder path; a longer input only costs time.
constexpr std::size_t kMaxDecodedBytes = 32u << 20;

void DecodeSome(kalvira::MediaReader& reader, std::size_t limit) {
  const std::uint8_t* data = nullptr;
  std::size_t length = 0;
  std::size_t total = 0;
  std::uint32_t sum = 0;
  while (total < limit && reader.NextSample(&data, &length)) {
    // Touch the first and last byte: the piece must be readable in full.
    sum += data[0] + data[length - 1];
    total += length;
  }
  (void)sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  kalvira::MemorySource source(bytes, size);
  auto reader = kalvira::CreateMediaReader();
  if (!reader->Open(source, 0) && !reader->Open(source, 30)) return 0;
  for (std::string_view name :
       {kalvira::media_attribute::kAuthor, kalvira::media_attribute::kTitle,
        kalvira::media_attribute::kAlbumTitle, kalvira::media_attribute::kGenre,
        kalvira::media_attribute::kTrack, kalvira::media_attribute::kYear,
        kalvira::media_attribute::kCopyright}) {
    (void)reader->Attribute(name);
  }
  const std::int64_t duration = reader->Duration();
  // The last byte picks the format, so every offered format gets its turn.
  reader->SetDiscreteOutput(0, size > 0 && (bytes[size - 1] & 0x80) != 0);
  const auto formats = reader->OutputFormats(0);
  if (formats.empty()) return 0;
  const auto& format = formats[size == 0 ? 0 : bytes[size - 1] % formats.size()];
  if (!reader->SetOutputFormat(0, format)) return 0;
  DecodeSome(*reader, kMaxDecodedBytes);
  reader->SetRange(duration / 2);
  DecodeSome(*reader, kMaxDecodedBytes / 4);
  reader->SetRange(0);
  DecodeSome(*reader, 4096);
  return 0;
}
