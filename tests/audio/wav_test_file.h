// Reads back the WAV files the WAV-file sound device writes: the fmt chunk and the data,
// with every size checked against the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvira::testing {

struct WavContents {
  std::uint16_t format_tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint32_t avg_bytes_per_sec = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits = 0;
  std::uint32_t fmt_size = 0;
  std::string data;
};

inline std::uint32_t Le(const std::string& bytes, std::size_t at, int count) {
  std::uint32_t v = 0;
  for (int i = count - 1; i >= 0; --i) {
    v = v << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return v;
}

// Nothing when the file is not a well-formed RIFF/WAVE file whose sizes agree.
inline std::optional<WavContents> ParseWav(const std::string& file) {
  if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WAVE") != 0) {
    return std::nullopt;
  }
  if (Le(file, 4, 4) != file.size() - 8) return std::nullopt;
  WavContents wav;
  bool have_fmt = false;
  bool have_data = false;
  std::size_t at = 12;
  while (at + 8 <= file.size()) {
    const std::string id = file.substr(at, 4);
    const std::uint32_t size = Le(file, at + 4, 4);
    if (at + 8 + size > file.size()) return std::nullopt;
    if (id == "fmt " && size >= 16) {
      wav.fmt_size = size;
      wav.format_tag = static_cast<std::uint16_t>(Le(file, at + 8, 2));
      wav.channels = static_cast<std::uint16_t>(Le(file, at + 10, 2));
      wav.rate = Le(file, at + 12, 4);
      wav.avg_bytes_per_sec = Le(file, at + 16, 4);
      wav.block_align = static_cast<std::uint16_t>(Le(file, at + 20, 2));
      wav.bits = static_cast<std::uint16_t>(Le(file, at + 22, 2));
      have_fmt = true;
    } else if (id == "data") {
      wav.data = file.substr(at + 8, size);
      have_data = true;
    }
    at += 8 + size + (size & 1);
  }
  if (at != file.size() || !have_fmt || !have_data) return std::nullopt;
  return wav;
}

}  // namespace kalvira::testing
