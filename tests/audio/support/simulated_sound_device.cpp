#include "tests/audio/support/simulated_sound_device.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "audio/ring_sound_buffer.h"

namespace kalvira {

class SimulatedSoundBuffer final : public RingSoundBuffer {
 public:
  SimulatedSoundBuffer(SimulatedSoundDevice* device, const WaveFormat& format, std::uint32_t size,
                       std::uint32_t lead_frames)
      : RingSoundBuffer(format, size, lead_frames), device_(device) {}
  ~SimulatedSoundBuffer() override { device_->ForgetBuffer(this); }

  SoundResult GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) override {
    if (device_->fail_positions_.load()) return kSoundErrGeneric;
    return RingSoundBuffer::GetCurrentPosition(play, write);
  }
  SoundResult SetVolume(std::int32_t hundredths_db) override {
    if (device_->refuse_volume_.load()) return kSoundErrControlUnavail;
    const SoundResult result = RingSoundBuffer::SetVolume(hundredths_db);
    if (!SoundFailed(result)) volume_.store(hundredths_db);
    return result;
  }
  std::int32_t volume() const { return volume_.load(); }

 private:
  SimulatedSoundDevice* const device_;
  std::atomic<std::int32_t> volume_{0};
};

class SimulatedEndpoint final : public SoundEndpoint {
 public:
  explicit SimulatedEndpoint(SimulatedSoundDevice* device) : device_(device) {}
  SoundResult SetFormat(const WaveFormat& format) override {
    SoundResult fail;
    {
      MutexLock lock(device_->mu_);
      fail = device_->fail_set_format_;
    }
    if (SoundFailed(fail)) return fail;
    return format.IsPlayablePcm() ? kSoundOk : kSoundErrBadFormat;
  }
  SoundResult CreateBuffer(const WaveFormat& format, std::uint32_t size,
                           std::unique_ptr<SoundBuffer>* buffer) override {
    return device_->CreateBufferLocked(format, size, buffer);
  }

 private:
  SimulatedSoundDevice* const device_;
};

SimulatedSoundDevice::SimulatedSoundDevice(const Options& options) : options_(options) {}

SimulatedSoundDevice::~SimulatedSoundDevice() {
  MutexLock lock(mu_);
  assert(buffer_ == nullptr);
}

std::vector<SoundDeviceInfo> SimulatedSoundDevice::EnumerateDevices() {
  std::vector<SoundDeviceInfo> list;
  for (int i = 0; i < options_.devices; ++i) {
    SoundDeviceInfo info;
    if (i > 0) {
      info.id.fill(0xA0);
      info.id[0] = static_cast<std::uint8_t>(i);
    }
    info.description = "Simulated device " + std::to_string(i) + options_.description_suffix;
    list.push_back(info);
  }
  return list;
}

SoundResult SimulatedSoundDevice::CreateEndpoint(const SoundDeviceId& id,
                                                 std::unique_ptr<SoundEndpoint>* endpoint) {
  MutexLock lock(mu_);
  endpoints_opened_.push_back(id);
  if (SoundFailed(fail_endpoint_)) return fail_endpoint_;
  *endpoint = std::make_unique<SimulatedEndpoint>(this);
  return kSoundOk;
}

SoundResult SimulatedSoundDevice::CreateBufferLocked(const WaveFormat& format, std::uint32_t size,
                                                     std::unique_ptr<SoundBuffer>* buffer) {
  MutexLock lock(mu_);
  if (SoundFailed(fail_buffer_)) return fail_buffer_;
  if (!format.IsPlayablePcm()) return kSoundErrBadFormat;
  if (size == 0 || size % format.block_align != 0) return kSoundErrInvalidParam;
  if (buffer_ != nullptr) return kSoundErrAllocated;
  auto created = std::make_unique<SimulatedSoundBuffer>(this, format, size, options_.lead_frames);
  buffer_ = created.get();
  ++buffers_created_;
  *buffer = std::move(created);
  return kSoundOk;
}

void SimulatedSoundDevice::ForgetBuffer(SimulatedSoundBuffer* buffer) {
  MutexLock lock(mu_);
  if (buffer_ == buffer) buffer_ = nullptr;
}

std::int64_t SimulatedSoundDevice::PerformanceFrequency() {
  return options_.performance_frequency;
}

std::int64_t SimulatedSoundDevice::PerformanceCounter() {
  MutexLock lock(mu_);
  if (options_.performance_frequency == 0) return 0;
  const std::int64_t f = options_.performance_frequency;
  return now_ns_ / 1'000'000'000 * f + now_ns_ % 1'000'000'000 * f / 1'000'000'000;
}

std::uint32_t SimulatedSoundDevice::Milliseconds() {
  MutexLock lock(mu_);
  return static_cast<std::uint32_t>(now_ns_ / 1'000'000);
}

void SimulatedSoundDevice::SleepMilliseconds(std::uint32_t ms) {
  MutexLock lock(mu_);
  sleeps_.push_back(ms);
  const std::int64_t step = std::int64_t{ms} * 1'000'000;
  if (sleep_mode_ == SleepMode::kAdvanceClock) {
    AdvanceLocked(step);
    return;
  }
  const std::int64_t until = now_ns_ + step;
  wake_times_.push_back(until);
  clock_moved_.SignalAll();
  while (now_ns_ < until && sleep_mode_ == SleepMode::kWaitForTest) clock_moved_.Wait(mu_);
  wake_times_.erase(std::find(wake_times_.begin(), wake_times_.end(), until));
  if (now_ns_ < until) AdvanceLocked(until - now_ns_);
}

void SimulatedSoundDevice::set_sleep_mode(SleepMode mode) {
  MutexLock lock(mu_);
  sleep_mode_ = mode;
  clock_moved_.SignalAll();
}

void SimulatedSoundDevice::AdvanceClock(std::chrono::nanoseconds step) {
  MutexLock lock(mu_);
  AdvanceLocked(step.count());
  clock_moved_.SignalAll();
}

void SimulatedSoundDevice::AdvanceLocked(std::int64_t step_ns) {
  const std::int64_t before = now_ns_;
  now_ns_ += step_ns;
  if (buffer_ == nullptr || stall_ || !buffer_->playing()) return;
  const std::int64_t rate = buffer_->format().samples_per_sec;
  // Frames are counted on the absolute time line, so many small steps play exactly as
  // many frames as one large one.
  const auto frames =
      static_cast<std::uint32_t>(now_ns_ * rate / 1'000'000'000 - before * rate / 1'000'000'000);
  if (frames == 0) return;
  scratch_.resize(std::size_t{frames} * buffer_->block_align());
  const std::uint32_t played = buffer_->ConsumeFrames(scratch_.data(), frames);
  played_.insert(played_.end(), scratch_.begin(),
                 scratch_.begin() + std::size_t{played} * buffer_->block_align());
}

std::int64_t SimulatedSoundDevice::now_ns() {
  MutexLock lock(mu_);
  return now_ns_;
}

std::vector<std::uint32_t> SimulatedSoundDevice::sleeps() {
  MutexLock lock(mu_);
  return sleeps_;
}

bool SimulatedSoundDevice::sleeper_waiting() {
  MutexLock lock(mu_);
  return PendingSleeperLocked();
}

bool SimulatedSoundDevice::PendingSleeperLocked() {
  for (std::int64_t t : wake_times_) {
    if (t > now_ns_) return true;
  }
  return false;
}

bool SimulatedSoundDevice::WaitForSleeper(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  MutexLock lock(mu_);
  while (!PendingSleeperLocked()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    clock_moved_.WaitFor(mu_, deadline - now);
  }
  return true;
}

bool SimulatedSoundDevice::AdvanceToNextWake(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  MutexLock lock(mu_);
  for (;;) {
    std::int64_t next = -1;
    for (std::int64_t t : wake_times_) {
      if (t > now_ns_ && (next < 0 || t < next)) next = t;
    }
    if (next >= 0) {
      AdvanceLocked(next - now_ns_);
      clock_moved_.SignalAll();
      return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    clock_moved_.WaitFor(mu_, deadline - now);
  }
}

void SimulatedSoundDevice::FailCreateEndpoint(SoundResult result) {
  MutexLock lock(mu_);
  fail_endpoint_ = result;
}

void SimulatedSoundDevice::FailSetFormat(SoundResult result) {
  MutexLock lock(mu_);
  fail_set_format_ = result;
}

void SimulatedSoundDevice::FailCreateBuffer(SoundResult result) {
  MutexLock lock(mu_);
  fail_buffer_ = result;
}

void SimulatedSoundDevice::FailPositionQueries(bool fail) {
  fail_positions_.store(fail);
}
void SimulatedSoundDevice::RefuseVolume(bool refuse) {
  refuse_volume_.store(refuse);
}

void SimulatedSoundDevice::Stall(bool stall) {
  MutexLock lock(mu_);
  stall_ = stall;
}

SimulatedSoundDevice::BufferState SimulatedSoundDevice::buffer_state() {
  MutexLock lock(mu_);
  BufferState state;
  if (buffer_ == nullptr) return state;
  state.exists = true;
  state.playing = buffer_->playing();
  state.size = buffer_->Size();
  state.volume = buffer_->volume();
  state.format = buffer_->format();
  buffer_->RingSoundBuffer::GetCurrentPosition(&state.play, &state.write);
  return state;
}

std::vector<std::uint8_t> SimulatedSoundDevice::played() {
  MutexLock lock(mu_);
  return played_;
}

int SimulatedSoundDevice::buffers_created() {
  MutexLock lock(mu_);
  return buffers_created_;
}

std::vector<SoundDeviceId> SimulatedSoundDevice::endpoints_opened() {
  MutexLock lock(mu_);
  return endpoints_opened_;
}

std::vector<std::uint8_t> SimulatedSoundDevice::buffer_contents() {
  MutexLock lock(mu_);
  std::vector<std::uint8_t> bytes;
  if (buffer_ == nullptr) return bytes;
  SoundRegion region;
  if (SoundFailed(buffer_->Lock(0, buffer_->Size(), &region))) return bytes;
  bytes.resize(region.size());
  region.CopyTo(bytes.data());
  return bytes;
}

}  // namespace kalvira
