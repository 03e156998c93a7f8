#include "audio/ring_sound_buffer.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace kalvira {

RingSoundBuffer::RingSoundBuffer(const WaveFormat& format, std::uint32_t size,
                                 std::uint32_t lead_frames)
    : format_(format),
      size_(size),
      block_align_(format.block_align),
      lead_bytes_(std::min<std::uint64_t>(std::uint64_t{lead_frames} * format.block_align,
                                          size - format.block_align)),
      silence_(format.bits_per_sample == 8 ? 128 : 0),
      data_(size) {
  assert(format.IsPlayablePcm());
  assert(size > 0 && size % block_align_ == 0);
}

SoundResult RingSoundBuffer::GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) {
  const std::uint32_t p = play_pos_.load(std::memory_order_acquire);
  if (play != nullptr) *play = p;
  if (write != nullptr) *write = playing() ? (p + lead_bytes_) % size_ : p;
  return kSoundOk;
}

SoundResult RingSoundBuffer::SetCurrentPosition(std::uint32_t play) {
  if (play >= size_) return kSoundErrInvalidParam;
  play_pos_.store(play - play % block_align_, std::memory_order_release);
  return kSoundOk;
}

SoundResult RingSoundBuffer::Lock(std::uint32_t offset, std::uint32_t count, SoundRegion* region) {
  if (region == nullptr || offset >= size_ || count > size_) return kSoundErrInvalidParam;
  const std::uint32_t first = std::min(count, size_ - offset);
  *region = SoundRegion{&data_, offset, first, count - first};
  return kSoundOk;
}

SoundResult RingSoundBuffer::Unlock(const SoundRegion& /*region*/) {
  published_.fetch_add(1, std::memory_order_release);
  return kSoundOk;
}

SoundResult RingSoundBuffer::Play() {
  published_.fetch_add(1, std::memory_order_release);
  playing_.store(true, std::memory_order_release);
  return kSoundOk;
}

SoundResult RingSoundBuffer::Stop() {
  playing_.store(false, std::memory_order_release);
  return kSoundOk;
}

SoundResult RingSoundBuffer::SetVolume(std::int32_t hundredths_db) {
  if (hundredths_db < kSoundVolumeMin || hundredths_db > kSoundVolumeMax) {
    return kSoundErrInvalidParam;
  }
  volume_.store(hundredths_db, std::memory_order_release);
  return kSoundOk;
}

std::uint32_t RingSoundBuffer::ConsumeFrames(std::uint8_t* out, std::uint32_t frames) {
  const std::uint64_t total = std::uint64_t{frames} * block_align_;
  if (!playing()) {
    std::memset(out, silence_, total);
    return 0;
  }
  (void)published_.load(std::memory_order_acquire);
  const std::int32_t volume = volume_.load(std::memory_order_acquire);
  if (volume != gain_volume_) {
    gain_volume_ = volume;
    gain_ = std::pow(10.0, volume / 2000.0);
  }
  std::uint32_t start = play_pos_.load(std::memory_order_acquire);
  // At most two contiguous pieces: up to the end, then again from the start (a request
  // longer than the buffer comes round more than once).
  std::uint32_t pos = start;
  for (std::uint64_t done = 0; done < total;) {
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(total - done, size_ - pos));
    data_.Read(pos, out + done, n);
    done += n;
    pos += n;
    if (pos == size_) pos = 0;
  }
  if (gain_volume_ != 0) ApplyGain(out, static_cast<std::uint32_t>(total), gain_);
  // A position set meanwhile (a new start) wins over the one this pass reached.
  play_pos_.compare_exchange_strong(start, pos, std::memory_order_acq_rel);
  return frames;
}

void RingSoundBuffer::ApplyGain(std::uint8_t* data, std::uint32_t bytes, double gain) const {
  switch (format_.bits_per_sample) {
    case 8:
      for (std::uint32_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<std::uint8_t>(std::lround((data[i] - 128) * gain) + 128);
      }
      break;
    case 16:
      for (std::uint32_t i = 0; i + 1 < bytes; i += 2) {
        const auto s = static_cast<std::int16_t>(data[i] | (data[i + 1] << 8));
        const auto v = static_cast<std::int16_t>(std::lround(s * gain));
        data[i] = static_cast<std::uint8_t>(v & 0xFF);
        data[i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
      }
      break;
    case 24:
      for (std::uint32_t i = 0; i + 2 < bytes; i += 3) {
        std::int32_t s = data[i] | (data[i + 1] << 8) | (data[i + 2] << 16);
        if ((s & 0x800000) != 0) s -= 0x1000000;
        const auto v = static_cast<std::int32_t>(std::lround(s * gain));
        data[i] = static_cast<std::uint8_t>(v & 0xFF);
        data[i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        data[i + 2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
      }
      break;
    case 32:
      for (std::uint32_t i = 0; i + 3 < bytes; i += 4) {
        std::uint32_t u;
        std::memcpy(&u, data + i, 4);
        const auto v = static_cast<std::int32_t>(std::llround(static_cast<std::int32_t>(u) * gain));
        std::memcpy(data + i, &v, 4);
      }
      break;
    default:
      break;
  }
}

}  // namespace kalvira
