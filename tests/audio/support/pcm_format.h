// The plain PCM wave format that device and buffer tests describe their data with.
#pragma once

#include <cstdint>

#include "audio/sound_device.h"

namespace kalvira::testing {

inline WaveFormat PcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  WaveFormat f;
  f.format_tag = WaveFormat::kTagPcm;
  f.channels = channels;
  f.samples_per_sec = rate;
  f.bits_per_sample = bits;
  f.block_align = static_cast<std::uint16_t>(channels * bits / 8);
  f.avg_bytes_per_sec = f.block_align * rate;
  return f;
}

}  // namespace kalvira::testing
