#include "audio/wav_file_device.h"

#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/ring_sound_buffer.h"
#include "audio/sound_device_internal.h"
#include "base/mutex.h"

namespace kalvira {
namespace {

// The RIFF sizes are 32-bit: a file is closed and the next one begun before its data
// would pass this.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 1024;

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// PATH for the first file, then PATH with "-2", "-3"... before the extension.
std::string NumberedPath(const std::string& path, int number) {
  if (number == 1) return path;
  const std::size_t slash = path.find_last_of('/');
  std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) {
    dot = path.size();
  }
  return path.substr(0, dot) + "-" + std::to_string(number) + path.substr(dot);
}

// One WAV file being written: RIFF header, fmt chunk, data chunk.
class WavFile {
 public:
  WavFile(std::FILE* file, const WaveFormat& format) : file_(file), format_(format) {
    fmt_ = format.Bytes();
    if (format.format_tag == WaveFormat::kTagPcm) fmt_.resize(16);  // no cbSize for PCM
    WriteHeader();
  }
  ~WavFile() {
    Finish();
    std::fclose(file_);
  }
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;

  const WaveFormat& format() const { return format_; }
  bool Fits(std::size_t bytes) const { return data_bytes_ + bytes <= kMaxDataBytes; }

  void Append(const std::uint8_t* data, std::size_t bytes) {
    if (std::fwrite(data, 1, bytes, file_) == bytes) data_bytes_ += bytes;
  }

  // Brings the header up to date and flushes; the file is complete afterwards and
  // later appends continue after the data.
  void Finish() {
    const long end = std::ftell(file_);
    if ((data_bytes_ & 1) != 0) {
      const std::uint8_t pad = 0;
      std::fwrite(&pad, 1, 1, file_);
    }
    std::fseek(file_, 0, SEEK_SET);
    WriteHeader();
    std::fflush(file_);
    std::fseek(file_, end, SEEK_SET);
  }

 private:
  void WriteHeader() {
    std::vector<std::uint8_t> header;
    const auto tag = [&](const char* t) { header.insert(header.end(), t, t + 4); };
    const std::uint32_t data = static_cast<std::uint32_t>(data_bytes_);
    tag("RIFF");
    PutLe32(header, static_cast<std::uint32_t>(4 + 8 + fmt_.size() + 8 + data + (data & 1)));
    tag("WAVE");
    tag("fmt ");
    PutLe32(header, static_cast<std::uint32_t>(fmt_.size()));
    header.insert(header.end(), fmt_.begin(), fmt_.end());
    tag("data");
    PutLe32(header, data);
    std::fwrite(header.data(), 1, header.size(), file_);
  }

  std::FILE* const file_;
  const WaveFormat format_;
  std::vector<std::uint8_t> fmt_;
  std::uint64_t data_bytes_ = 0;
};

class WavFileSoundDevice;

// A looping buffer whose play position is the clock's: the frames the sample rate says
// have been played since the buffer was made are taken from it (and written to the file
// while it plays) whenever anyone looks: the writer thread every period, and every query
// of the position, Play and Stop. So the file holds exactly what a device without latency
// would have played, however late the writer thread wakes.
class WavBuffer final : public RingSoundBuffer {
 public:
  WavBuffer(WavFileSoundDevice* device, const WaveFormat& format, std::uint32_t size)
      : RingSoundBuffer(format, size, format.samples_per_sec / 100),
        device_(device),
        start_(std::chrono::steady_clock::now()),
        chunk_frames_(format.samples_per_sec * kWavWriterPeriodMs / 1000 + 1),
        chunk_(std::size_t{chunk_frames_} * format.block_align) {
    thread_ = std::thread([this] { WriterLoop(); });
  }
  ~WavBuffer() override;

  SoundResult GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) override {
    MutexLock lock(mu_);
    CatchUp();
    return RingSoundBuffer::GetCurrentPosition(play, write);
  }
  SoundResult SetCurrentPosition(std::uint32_t play) override {
    MutexLock lock(mu_);
    CatchUp();
    return RingSoundBuffer::SetCurrentPosition(play);
  }
  SoundResult Play() override {
    MutexLock lock(mu_);
    CatchUp();
    return RingSoundBuffer::Play();
  }
  SoundResult Stop() override {
    MutexLock lock(mu_);
    CatchUp();
    return RingSoundBuffer::Stop();
  }

 private:
  void WriterLoop();
  // Plays the frames due by now: appends them to the file while playing.
  void CatchUp() REQUIRES(mu_);

  WavFileSoundDevice* const device_;
  const std::chrono::steady_clock::time_point start_;
  const std::uint32_t chunk_frames_;
  Mutex mu_;  // before the device's lock
  CondVar cv_;
  std::vector<std::uint8_t> chunk_ GUARDED_BY(mu_);
  std::uint64_t frames_done_ GUARDED_BY(mu_) = 0;
  bool quit_ GUARDED_BY(mu_) = false;
  std::thread thread_;
};

class WavEndpoint final : public SoundEndpoint {
 public:
  explicit WavEndpoint(WavFileSoundDevice* device) : device_(device) {}
  SoundResult SetFormat(const WaveFormat& format) override {
    return format.IsPlayablePcm() ? kSoundOk : kSoundErrBadFormat;
  }
  SoundResult CreateBuffer(const WaveFormat& format, std::uint32_t size,
                           std::unique_ptr<SoundBuffer>* buffer) override;

 private:
  WavFileSoundDevice* const device_;
};

class WavFileSoundDevice final : public RealClockSoundDevice {
 public:
  explicit WavFileSoundDevice(std::string path) : path_(std::move(path)) {}

  std::vector<SoundDeviceInfo> EnumerateDevices() override {
    return {{SoundDeviceId{}, "WAV file " + path_}};
  }
  SoundResult CreateEndpoint(const SoundDeviceId& id,
                             std::unique_ptr<SoundEndpoint>* endpoint) override {
    if (id != SoundDeviceId{}) return kSoundErrNoDriver;
    *endpoint = std::make_unique<WavEndpoint>(this);
    return kSoundOk;
  }

  // A buffer begins: opens the file for its format (or keeps the current one).
  SoundResult BeginRun(const WaveFormat& format) EXCLUDES(mu_) {
    MutexLock lock(mu_);
    if (run_active_) return kSoundErrAllocated;
    if (file_ != nullptr && file_->format().Bytes() != format.Bytes()) file_.reset();
    if (file_ == nullptr && !OpenNext(format)) return kSoundErrAccessDenied;
    run_active_ = true;
    return kSoundOk;
  }

  // Writer thread: what the buffer played.
  void Append(const std::uint8_t* data, std::size_t bytes) EXCLUDES(mu_) {
    MutexLock lock(mu_);
    if (file_ == nullptr) return;
    if (!file_->Fits(bytes)) {
      const WaveFormat format = file_->format();
      file_.reset();
      if (!OpenNext(format)) return;
    }
    file_->Append(data, bytes);
  }

  void EndRun() EXCLUDES(mu_) {
    MutexLock lock(mu_);
    if (file_ != nullptr) file_->Finish();
    run_active_ = false;
  }

 private:
  bool OpenNext(const WaveFormat& format) REQUIRES(mu_) {
    std::FILE* file = std::fopen(NumberedPath(path_, ++files_).c_str(), "wb");
    if (file == nullptr) return false;
    // Whole seconds of sound per write: the file is brought up to date at the end of
    // every run anyway.
    std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
    file_ = std::make_unique<WavFile>(file, format);
    return true;
  }

  const std::string path_;
  Mutex mu_;
  std::unique_ptr<WavFile> file_ GUARDED_BY(mu_);
  int files_ GUARDED_BY(mu_) = 0;
  bool run_active_ GUARDED_BY(mu_) = false;
};

SoundResult WavEndpoint::CreateBuffer(const WaveFormat& format, std::uint32_t size,
                                      std::unique_ptr<SoundBuffer>* buffer) {
  if (!format.IsPlayablePcm()) return kSoundErrBadFormat;
  if (size == 0 || size % format.block_align != 0) return kSoundErrInvalidParam;
  const SoundResult result = device_->BeginRun(format);
  if (SoundFailed(result)) return result;
  *buffer = std::make_unique<WavBuffer>(device_, format, size);
  return kSoundOk;
}

WavBuffer::~WavBuffer() {
  {
    MutexLock lock(mu_);
    quit_ = true;
    CatchUp();
  }
  cv_.Signal();
  thread_.join();
  device_->EndRun();
}

void WavBuffer::CatchUp() {
  const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now() - start_)
                           .count();
  const std::uint64_t due =
      static_cast<std::uint64_t>(elapsed) * format().samples_per_sec / 1'000'000'000u;
  while (frames_done_ < due) {
    const auto frames =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(due - frames_done_, chunk_frames_));
    const std::uint32_t played = ConsumeFrames(chunk_.data(), frames);
    if (played > 0) device_->Append(chunk_.data(), std::size_t{played} * block_align());
    frames_done_ += frames;
  }
}

void WavBuffer::WriterLoop() {
  pthread_setname_np(pthread_self(), "kalvira-wav-out");
  MutexLock lock(mu_);
  const auto period = std::chrono::milliseconds(kWavWriterPeriodMs);
  while (!quit_) {
    // The next whole period from the start: a writer that woke late does not hurry.
    const auto deadline =
        start_ + ((std::chrono::steady_clock::now() - start_) / period + 1) * period;
    for (auto now = std::chrono::steady_clock::now(); !quit_ && now < deadline;
         now = std::chrono::steady_clock::now()) {
      cv_.WaitFor(mu_, deadline - now);
    }
    if (!quit_) CatchUp();
  }
}

}  // namespace

std::shared_ptr<SoundDevice> MakeWavFileSoundDevice(const std::string& path) {
  return std::make_shared<WavFileSoundDevice>(path);
}

}  // namespace kalvira
