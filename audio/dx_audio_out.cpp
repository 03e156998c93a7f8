#include "audio/dx_audio_out.h"

#include <algorithm>
#include <utility>

#include "audio/au_exception.h"
#include "audio/au_input.h"
#include "base/text.h"

namespace kalvira {
namespace {

// The largest looping buffer the device accepts; larger transfer sizes fail like a
// buffer the device refuses, before anything is allocated.
constexpr std::uint64_t kMaxBufferBytes = 0x0FFFFFFF;

std::string CutDescription(const std::string& utf8) {
  std::u16string utf16 = Utf8ToUtf16(utf8);
  if (utf16.size() <= TDXAudioOut::kMaxDescriptionChars) return utf8;
  std::size_t cut = TDXAudioOut::kMaxDescriptionChars;
  // Never leave half of a surrogate pair.
  if (utf16[cut - 1] >= 0xD800 && utf16[cut - 1] <= 0xDBFF) --cut;
  utf16.resize(cut);
  return Utf16ToUtf8(utf16);
}

WaveFormat MakeWaveFormat(std::uint32_t channels, std::uint32_t sample_rate,
                          std::uint32_t bits_per_sample) {
  WaveFormat format;
  if (channels >= 3 || bits_per_sample == 24) {
    format.format_tag = WaveFormat::kTagExtensible;
    format.cb_size = 22;
    format.sub_format = WaveFormat::kPcmSubFormat;
    switch (channels) {
      case 2:
        format.channel_mask = 0x3;
        break;
      case 6:
        format.channel_mask = 0x3F;
        break;
      case 8:
        format.channel_mask = 0xFF;
        break;
      default:
        format.channel_mask = 0;
        break;
    }
  } else {
    format.format_tag = WaveFormat::kTagPcm;
    format.cb_size = 0;
  }
  format.channels = static_cast<std::uint16_t>(channels);
  format.samples_per_sec = sample_rate;
  format.bits_per_sample = static_cast<std::uint16_t>(bits_per_sample);
  format.block_align = static_cast<std::uint16_t>(channels * bits_per_sample / 8);
  format.avg_bytes_per_sec = format.block_align * sample_rate;
  return format;
}

}  // namespace

TDXAudioOut::TDXAudioOut(std::shared_ptr<SoundDevice> device)
    : device_(std::move(device)), wrapper_(device_.get()) {
  EnumerateDevices();
}

TDXAudioOut::~TDXAudioOut() {
  Shutdown();
}

void TDXAudioOut::EnumerateDevices() {
  device_list_.clear();
  for (const SoundDeviceInfo& info : device_->EnumerateDevices()) {
    if (device_list_.size() == kMaxDevices) break;
    device_list_.push_back({info.id, CutDescription(info.description)});
  }
}

void TDXAudioOut::SetFramesInBuffer(std::uint32_t frames) {
  if (!Busy()) frames_in_buffer_.store(frames);
}

void TDXAudioOut::SetOnUnderrun(TUnderrunEvent handler) {
  MutexLock lock(handler_mu_);
  on_underrun_ = std::move(handler);
}

TUnderrunEvent TDXAudioOut::OnUnderrun() const {
  MutexLock lock(handler_mu_);
  return on_underrun_;
}

std::uint32_t TDXAudioOut::PlayOutMs(std::uint32_t transfer_size, std::uint32_t bits_per_sample,
                                     std::uint32_t channels, std::uint32_t sample_rate) {
  const std::uint64_t bytes_per_second =
      std::uint64_t{bits_per_sample / 8} * channels * sample_rate;
  if (bytes_per_second == 0) return 0;
  // The buffer's duration in whole seconds, halves to even.
  std::uint64_t seconds = transfer_size / bytes_per_second;
  const std::uint64_t rest = transfer_size % bytes_per_second;
  if (2 * rest > bytes_per_second || (2 * rest == bytes_per_second && seconds % 2 == 1)) {
    ++seconds;
  }
  // Rounding down (22050 Hz, or rates where a buffer lasts half a second or less) would
  // stop the device while the end of the data is still in the buffer: wait at least as
  // long as the buffer plays, in whole steps.
  const std::uint64_t buffer_ms =
      (std::uint64_t{transfer_size} * 1000 + bytes_per_second - 1) / bytes_per_second;
  const std::uint64_t needed = (buffer_ms + kPlayOutStepMs - 1) / kPlayOutStepMs * kPlayOutStepMs;
  return static_cast<std::uint32_t>(std::max(seconds * 1000, needed));
}

void TDXAudioOut::Setup() {
  released_ = false;
  run_input_ = nullptr;
  transfer_allocated_ = false;
  const std::int32_t number = DeviceNumber();
  if (number < 0 || number >= DeviceCount()) {
    throw EAuException(dx_messages::kInvalidDeviceNumber);
  }
  TAuInput* input = Input();
  input->BeginRun();
  run_input_ = input;
  channels_ = input->GetChannels();
  sample_rate_ = input->GetSampleRate();
  bits_per_sample_ = input->GetBitsPerSample();

  wrapper_.Clear();
  if (SoundFailed(wrapper_.CreateDevice(device_list_[static_cast<std::size_t>(number)].id))) {
    throw EAuException(dx_messages::kFailedToCreateDevice);
  }
  const std::uint64_t transfer_size =
      std::uint64_t{FramesInBuffer()} * (bits_per_sample_ / 8) * channels_;
  if (transfer_size > kMaxBufferBytes) {
    throw EAuException(std::string(dx_messages::kFailedToCreateBuffer) +
                       FormatSoundResult(kSoundErrInvalidParam));
  }
  transfer_size_ = static_cast<std::uint32_t>(transfer_size);
  transfer_buffer_.assign(transfer_size_, 0);
  transfer_allocated_ = true;
  silence_byte_ = bits_per_sample_ == 8 ? 128 : 0;

  const WaveFormat format = MakeWaveFormat(channels_, sample_rate_, bits_per_sample_);
  const SoundResult result = wrapper_.InitBuffers(format, transfer_size_);
  if (SoundFailed(result)) {
    throw EAuException(std::string(dx_messages::kFailedToCreateBuffer) + FormatSoundResult(result));
  }
  first_fill_ = true;
  input_ended_.store(false);
  last_underruns_ = 0;
}

void TDXAudioOut::WaitAndPrefetch(std::uint32_t interval, bool prefetch) {
  const std::uint32_t t0 = device_->Milliseconds();
  if (prefetch) Input()->Prefetch(kPrefetchBytes);
  const std::uint32_t elapsed = device_->Milliseconds() - t0;
  if (elapsed < interval) device_->SleepMilliseconds(interval - elapsed);
}

bool TDXAudioOut::Step(bool abort) {
  if (!Busy()) return true;
  if (!CanOutput()) return false;
  TAuInput* input = Input();

  if (first_fill_) {
    bool ended = false;
    const std::uint32_t n = input->ReadFully(transfer_buffer_.data(), transfer_size_, ended);
    input_ended_.store(ended);
    wrapper_.WriteData(transfer_buffer_.data(), n);
    // All the data is in: the rest of the buffer must hold silence, or a play-out longer
    // than the buffer would come round to the data again (and 8-bit data would be followed
    // by the zero bytes of the first clearing).
    if (ended) wrapper_.FillSilence(silence_byte_);
    wrapper_.ApplyVolume(Volume());
    wrapper_.StartPlayback();
    first_fill_ = false;
  }

  if (abort) {
    wrapper_.StopPlayback();
    SetCanOutput(false);
    return false;
  }

  if (input_ended_.load()) return PlayOut();

  std::uint32_t free = 0;
  for (int attempts = 1;; ++attempts) {
    WaitAndPrefetch(PollingInterval() & 0xFFFF, PrefetchData());
    if (SoundFailed(wrapper_.QueryFree(&free))) free = 0;
    free -= free % wrapper_.block_align();
    // The wait that finds no room for the seventeenth time in a row ends the run; its
    // own result does not count.
    if (attempts > kMaxWaitsWithoutRoom) {
      SetErrorText(dx_messages::kAudioOutputError);
      if (const TThreadExceptionEvent handler = OnThreadException()) PostCall(handler);
      return false;
    }
    if (free != 0) break;
  }

  bool ended = false;
  const std::uint32_t n =
      input->ReadFully(transfer_buffer_.data(), std::min(free, transfer_size_), ended);
  input_ended_.store(ended);
  wrapper_.WriteData(transfer_buffer_.data(), n);
  // What lies behind the last data must be silence when the device gets there.
  if (ended) wrapper_.FillSilence(silence_byte_);

  if (wrapper_.underruns() != last_underruns_) {
    last_underruns_ = wrapper_.underruns();
    wrapper_.StopPlayback();
    wrapper_.FillSilence(silence_byte_);
    if (const TUnderrunEvent handler = OnUnderrun()) PostCall(handler);
    wrapper_.RestartPlayback();
  }
  return true;
}

// The input has ended: let the device play what the buffer still holds, silencing
// what it has played, then stop. A stop request ends the play-out at the next step, so a
// stopped run is over within one step and the next Run does not find the output busy.
bool TDXAudioOut::PlayOut() {
  SetCanOutput(false);
  const std::uint32_t duration =
      PlayOutMs(transfer_size_, bits_per_sample_, channels_, sample_rate_);
  for (std::uint32_t t = 0; t < duration; t += kPlayOutStepMs) {
    if (StopPending()) break;
    device_->SleepMilliseconds(kPlayOutStepMs);
    wrapper_.FillSilence(silence_byte_);
  }
  wrapper_.StopPlayback();
  return false;
}

void TDXAudioOut::Teardown() {
  if (!released_) {
    wrapper_.ReleaseAll();
    if (transfer_allocated_) {
      std::vector<std::uint8_t>().swap(transfer_buffer_);
      transfer_allocated_ = false;
    }
  }
  if (run_input_ != nullptr) {
    TAuInput* input = std::exchange(run_input_, nullptr);
    input->EndRun();
  } else if (TAuInput* input = Input()) {
    // Setup failed before the input's start; the run still ends for the input.
    input->EndUnstartedRun();
  }
  released_ = true;
}

void TDXAudioOut::Pause() {
  TAuOutput::Pause();
  if (!input_ended_.load()) wrapper_.StopPlayback();
}

void TDXAudioOut::Resume() {
  if (input_ended_.load()) return;
  wrapper_.RestartPlayback();
  TAuOutput::Resume();
}

}  // namespace kalvira
