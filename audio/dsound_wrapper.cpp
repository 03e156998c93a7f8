#include "audio/dsound_wrapper.h"

#include "base/exception.h"

namespace kalvira {
namespace {

// a × b div c without overflowing for any elapsed time a program can see.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
  return a / c * b + a % c * b / c;
}

}  // namespace

DSoundWrapper::DSoundWrapper(SoundDevice* device) : device_(device) {}

DSoundWrapper::~DSoundWrapper() {
  ReleaseAll();
}

void DSoundWrapper::Clear() {
  ReleaseAll();
  write_pos_ = 0;
  buffer_size_ = 0;
  block_align_ = 0;
  ticks_per_buffer_ = 0;
  last_counter_ = 0;
  last_play_pos_ = 0;
  underruns_ = 0;
  volume_ = 0;
  playing_.store(false);
  restarts_seen_ = restarts_.load();
}

SoundResult DSoundWrapper::CreateDevice(const SoundDeviceId& id) {
  return device_->CreateEndpoint(id, &endpoint_);
}

SoundResult DSoundWrapper::InitBuffers(const WaveFormat& format, std::uint32_t size) {
  buffer_size_ = size;
  playing_.store(false);
  underruns_ = 0;
  block_align_ = format.block_align;
  if (endpoint_ == nullptr) return kSoundErrInvalidCall;
  // The device's own format comes first, as the platform's primary buffer did; there is
  // no window to cooperate with.
  SoundResult result = endpoint_->SetFormat(format);
  if (SoundFailed(result)) return result;
  std::unique_ptr<SoundBuffer> buffer;
  result = endpoint_->CreateBuffer(format, size, &buffer);
  if (SoundFailed(result)) return result;
  {
    MutexLock lock(buffer_mu_);
    buffer_ = std::move(buffer);
  }
  SoundRegion region;
  result = buffer_->Lock(0, buffer_size_, &region);
  if (SoundFailed(result)) return result;
  region.Fill(0);
  result = buffer_->Unlock(region);
  if (SoundFailed(result)) return result;
  const std::int64_t frequency = device_->PerformanceFrequency();
  ticks_per_buffer_ =
      frequency != 0 ? frequency * (buffer_size_ / block_align_) / format.samples_per_sec : 0;
  std::uint32_t play = 0;
  std::uint32_t write = 0;
  result = buffer_->GetCurrentPosition(&play, &write);
  if (SoundFailed(result)) return result;
  write_pos_ = write;
  return kSoundOk;
}

SoundResult DSoundWrapper::StartPlayback() {
  last_counter_ = device_->PerformanceCounter();
  last_play_pos_ = 0;
  restarts_seen_ = restarts_.load(std::memory_order_acquire);
  if (buffer_ == nullptr) return kSoundErrInvalidCall;
  buffer_->SetCurrentPosition(0);
  const SoundResult result = buffer_->Play();
  if (!SoundFailed(result)) playing_.store(true);
  return result;
}

void DSoundWrapper::StopPlayback() {
  MutexLock lock(buffer_mu_);
  if (buffer_ == nullptr) return;
  playing_.store(false);
  buffer_->Stop();
}

SoundResult DSoundWrapper::RestartPlayback() {
  MutexLock lock(buffer_mu_);
  if (buffer_ == nullptr) return kSoundErrInvalidCall;
  // The time the buffer stood still is no time it played: the next free-space query
  // measures from here, or a pause of more than one pass would count as passes missed
  // and overwrite the data still to be played.
  std::uint32_t play = 0;
  if (!SoundFailed(buffer_->GetCurrentPosition(&play, nullptr))) {
    restart_play_pos_.store(play, std::memory_order_relaxed);
    restart_counter_.store(device_->PerformanceCounter(), std::memory_order_relaxed);
    restarts_.fetch_add(1, std::memory_order_release);
  }
  const SoundResult result = buffer_->Play();
  if (!SoundFailed(result)) playing_.store(true);
  return result;
}

SoundResult DSoundWrapper::QueryFree(std::uint32_t* free) {
  *free = 0;
  if (buffer_ == nullptr || buffer_size_ == 0) return kSoundErrInvalidCall;
  std::uint32_t play_now = 0;
  std::uint32_t write_now = 0;
  const SoundResult result = buffer_->GetCurrentPosition(&play_now, &write_now);
  if (SoundFailed(result)) return result;
  const std::int64_t size = buffer_size_;
  // The part the device is about to play: never written.
  std::int64_t gap = std::int64_t{write_now} - play_now;
  if (gap < 0) gap += size;
  std::int64_t play = play_now;
  if (playing_.load() && ticks_per_buffer_ != 0) {
    const std::uint32_t restarts = restarts_.load(std::memory_order_acquire);
    if (restarts != restarts_seen_) {
      restarts_seen_ = restarts;
      last_counter_ = restart_counter_.load(std::memory_order_relaxed);
      last_play_pos_ = restart_play_pos_.load(std::memory_order_relaxed);
    }
    // Whole passes through the buffer between two queries leave the play position where
    // it was; the clock shows them.
    const std::int64_t now = device_->PerformanceCounter();
    const std::int64_t elapsed = now - last_counter_;
    last_counter_ = now;
    std::int64_t advanced = std::int64_t{play_now} - last_play_pos_;
    if (advanced < 0) advanced += size;
    last_play_pos_ = play_now;
    const std::int64_t expected = MulDiv(elapsed, size, ticks_per_buffer_);
    const std::int64_t passes = (expected - advanced) / size;
    if (passes > 0) play += passes * size;
  }
  std::int64_t room = play - write_pos_;
  if (room < 0) room += size;
  if (room > size - gap) {
    // The device has played past the data written.
    if (playing_.load()) ++underruns_;
    write_pos_ = write_now;
    room = size - gap;
  }
  *free = static_cast<std::uint32_t>(room);
  return kSoundOk;
}

void DSoundWrapper::WriteData(const std::uint8_t* data, std::uint32_t count) {
  if (buffer_ == nullptr) return;
  SoundRegion region;
  if (SoundFailed(buffer_->Lock(write_pos_, count, &region))) return;
  region.CopyFrom(data);
  write_pos_ =
      static_cast<std::uint32_t>((std::uint64_t{write_pos_} + region.size()) % buffer_size_);
  buffer_->Unlock(region);
}

void DSoundWrapper::FillSilence(std::uint8_t value) {
  std::uint32_t free = 0;
  if (SoundFailed(QueryFree(&free)) || free == 0) return;
  SoundRegion region;
  if (SoundFailed(buffer_->Lock(write_pos_, free, &region))) return;
  region.Fill(value);
  write_pos_ =
      static_cast<std::uint32_t>((std::uint64_t{write_pos_} + region.size()) % buffer_size_);
  buffer_->Unlock(region);
}

void DSoundWrapper::ApplyVolume(std::int32_t value) {
  volume_ = value;
  if (buffer_ == nullptr) return;
  if (buffer_->SetVolume(value) == kSoundErrControlUnavail) {
    throw Exception("Control not available");
  }
}

void DSoundWrapper::ReleaseAll() {
  std::unique_ptr<SoundBuffer> buffer;
  {
    MutexLock lock(buffer_mu_);
    buffer = std::move(buffer_);
    playing_.store(false);
  }
  if (buffer != nullptr) buffer->Stop();
  buffer.reset();
  endpoint_.reset();
}

}  // namespace kalvira
