#include "audio/au_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>

#include "audio/au_exception.h"
#include "audio/au_output.h"

namespace kalvira {

namespace {

std::string SystemMessage(int error) {
  return std::strerror(error);
}

// Rounds a non-negative quotient to the nearest integer, halves to even.
std::int64_t RoundHalfEven(double value) {
  return static_cast<std::int64_t>(std::nearbyint(value));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TAuFileStream

TAuFileStream::TAuFileStream(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw EAuException(SystemMessage(errno));
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EAuException(SystemMessage(EISDIR));
  }
}

TAuFileStream::~TAuFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t TAuFileStream::Read(void* dest, std::size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd_, dest, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw EAuException(SystemMessage(errno));
  }
}

std::int64_t TAuFileStream::Seek(std::int64_t offset, int origin) {
  const off_t pos = ::lseek(fd_, static_cast<off_t>(offset), origin);
  if (pos < 0) throw EAuException(SystemMessage(errno));
  return pos;
}

std::int64_t TAuFileStream::Size() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw EAuException(SystemMessage(errno));
  return st.st_size;
}

// ---------------------------------------------------------------------------------------
// TAuInput

TAuInput::TAuInput() = default;

TAuInput::~TAuInput() {
  DetachOutputs();
}

void TAuInput::AddOutput(TAuOutput* output) {
  MutexLock lock(outputs_mu_);
  if (std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end()) {
    outputs_.push_back(output);
  }
}

void TAuInput::RemoveOutput(TAuOutput* output) {
  MutexLock lock(outputs_mu_);
  outputs_.erase(std::remove(outputs_.begin(), outputs_.end(), output), outputs_.end());
}

void TAuInput::DetachOutputs() {
  for (;;) {
    TAuOutput* output = nullptr;
    {
      MutexLock lock(outputs_mu_);
      if (outputs_.empty()) return;
      output = outputs_.back();
      outputs_.pop_back();
    }
    output->InputRemoved(this);
  }
}

bool TAuInput::EndOfStream() const {
  AuRecursiveLock lock(data_lock_);
  return end_of_stream_;
}

void TAuInput::BeginRun() {
  AuRecursiveLock lock(data_lock_);
  end_of_stream_ = false;
  try {
    BeginRunCore();
  } catch (const std::exception& e) {
    end_of_stream_ = true;
    throw EAuException(e.what());
  } catch (...) {
    end_of_stream_ = true;
    throw EAuException("Unknown error");
  }
}

void TAuInput::EndRun() {
  AuRecursiveLock lock(data_lock_);
  ClearPrefetch();
  EndRunCore();
}

void TAuInput::EndUnstartedRun() {
  // Under DataLock, so no other run can begin between the check and the reset.
  AuRecursiveLock lock(data_lock_);
  if (Busy()) return;
  EndUnstartedRunCore();
}

bool TAuInput::ReadPrefetched(const std::uint8_t*& data, std::uint32_t& bytes) {
  if (prefetch_end_ == 0) return false;
  bytes = std::min(bytes, prefetch_end_ - prefetch_start_);
  data = prefetch_buffer_.data() + prefetch_start_;
  prefetch_start_ += bytes;
  position_.fetch_add(bytes);
  if (prefetch_start_ >= prefetch_end_) ClearPrefetch();
  return true;
}

void TAuInput::Read(const std::uint8_t*& data, std::uint32_t& bytes) {
  AuRecursiveLock lock(data_lock_);
  if (ReadPrefetched(data, bytes)) return;
  ReadCore(data, bytes);
}

void TAuInput::Prefetch(std::uint32_t bytes) {
  AuRecursiveLock lock(data_lock_);
  if (prefetch_end_ > 0) return;
  const std::uint8_t* data = nullptr;
  const std::uint32_t requested = bytes;
  Read(data, bytes);
  // Allocated once per input: the buffer grows to the largest request and is reused.
  if (prefetch_buffer_.size() < requested) prefetch_buffer_.resize(requested);
  if (bytes > 0 && data != nullptr) {
    std::memmove(prefetch_buffer_.data(), data, bytes);
    prefetch_start_ = 0;
    prefetch_end_ = bytes;
    position_.fetch_sub(bytes);
  }
}

std::uint32_t TAuInput::ReadInto(void* dest, std::uint32_t size) {
  std::uint32_t bytes = size;
  const std::uint8_t* data = nullptr;
  Read(data, bytes);
  if (data == nullptr) return 0;
  if (bytes > 0) std::memcpy(dest, data, bytes);
  return bytes;
}

std::uint32_t TAuInput::ReadFully(void* dest, std::uint32_t size, bool& eof) {
  std::uint32_t total = 0;
  std::uint32_t last = size;
  auto* out = static_cast<std::uint8_t*>(dest);
  while (total < size && last != 0) {
    last = ReadInto(out + total, size - total);
    total += last;
  }
  eof = last == 0;
  return total;
}

// ---------------------------------------------------------------------------------------
// TAuStreamedInput

TAuStreamedInput::TAuStreamedInput() = default;
TAuStreamedInput::~TAuStreamedInput() = default;

void TAuStreamedInput::EndUnstartedRunCore() {
  SetStartSample(0);
  SetEndSample(-1);
}

void TAuStreamedInput::SetStream(TAuStream* stream) {
  SetStreamFields(stream);
}

void TAuStreamedInput::ReadOnce(const std::uint8_t*& data, std::uint32_t& bytes) {
  CheckReadable();
  ReadCore(data, bytes);
  if (bytes == 0) {
    end_of_stream_ = true;
    return;
  }
  const std::int64_t position = Position() + bytes;
  SetPosition(position);
  const std::int64_t size = Size();
  if (size > 0 && position >= size) {
    end_of_stream_ = true;
    if (position > size) {
      bytes -= static_cast<std::uint32_t>(position - size);
      SetPosition(size);
    }
  }
}

void TAuStreamedInput::RestartLoop() {
  end_of_stream_ = false;
  if (Seekable()) {
    SeekCore(StartSample());
  } else {
    EndRun();
    BeginRun();
  }
  SetPosition(0);
}

void TAuStreamedInput::Read(const std::uint8_t*& data, std::uint32_t& bytes) {
  AuRecursiveLock lock(data_lock_);
  if (ReadPrefetched(data, bytes)) return;
  const std::uint32_t requested = bytes;
  bool restarted = false;
  if (end_of_stream_) {
    if (!Loop()) {
      data = nullptr;
      bytes = 0;
      return;
    }
    // The last piece of the previous pass was delivered by the read that reached the end;
    // the next pass starts here.
    RestartLoop();
    restarted = true;
  }
  ReadOnce(data, bytes);
  if (bytes == 0 && end_of_stream_ && Loop() && !restarted) {
    // The source ended with an empty read: start again at once, with the same request.
    RestartLoop();
    bytes = requested;
    ReadOnce(data, bytes);
  }
  if (bytes == 0) data = nullptr;
}

// ---------------------------------------------------------------------------------------
// TAuFileIn

TAuFileIn::TAuFileIn() = default;

TAuFileIn::~TAuFileIn() {
  // The subclass has closed the file through ShutdownInput; only the stream may remain.
  AuRecursiveLock lock(open_lock_);
  own_stream_.reset();
}

void TAuFileIn::ShutdownInput() {
  DetachOutputs();
  CloseFile();
}

void TAuFileIn::SetFileName(const std::string& file_name) {
  AuRecursiveLock data(data_lock_);
  AuRecursiveLock open(open_lock_);
  CloseFile();
  file_name_ = file_name;
}

std::string TAuFileIn::FileName() const {
  AuRecursiveLock lock(open_lock_);
  return file_name_;
}

void TAuFileIn::OpenFile() {
  AuRecursiveLock lock(open_lock_);
  if (open_count_.load() > 0) return;
  try {
    OpenFileCore();
  } catch (...) {
    own_stream_.reset();
    throw;
  }
  open_count_.store(1);
}

void TAuFileIn::CloseFile() {
  // A read in progress finishes before the file goes away.
  AuRecursiveLock data(data_lock_);
  AuRecursiveLock lock(open_lock_);
  if (open_count_.load() == 0) return;
  open_count_.store(0);
  try {
    CloseFileCore();
  } catch (...) {
    own_stream_.reset();
    throw;
  }
  own_stream_.reset();
}

TAuStream* TAuFileIn::OpenStream() {
  AuRecursiveLock lock(open_lock_);  // held already by OpenFile: re-entered
  if (StreamAssigned()) return Stream();
  if (!own_stream_) own_stream_ = std::make_unique<TAuFileStream>(file_name_);
  return own_stream_.get();
}

void TAuFileIn::SetFormat(std::uint32_t bits_per_sample, std::uint32_t sample_rate,
                          std::uint32_t channels) {
  bits_per_sample_.store(bits_per_sample);
  sample_rate_.store(sample_rate);
  channels_.store(channels);
}

std::uint32_t TAuFileIn::GetBitsPerSample() {
  OpenFile();
  return bits_per_sample_.load();
}

std::uint32_t TAuFileIn::GetChannels() {
  OpenFile();
  return channels_.load();
}

std::uint32_t TAuFileIn::GetSampleRate() {
  OpenFile();
  return sample_rate_.load();
}

std::int32_t TAuFileIn::GetTotalTime() {
  OpenFile();
  const std::uint64_t rate = sample_rate_.load();
  const std::uint64_t channels = channels_.load();
  const std::uint64_t bytes = bits_per_sample_.load() / 8;
  if (rate == 0 || channels == 0 || bytes == 0) return 0;
  const double seconds = static_cast<double>(Size()) / static_cast<double>(rate * channels * bytes);
  return static_cast<std::int32_t>(RoundHalfEven(seconds));
}

std::int64_t TAuFileIn::GetTotalSamples() {
  OpenFile();
  const std::int64_t frame = (static_cast<std::int64_t>(channels_.load()) *
                              static_cast<std::int64_t>(bits_per_sample_.load())) /
                             8;
  // An unknown format counts as an unknown length rather than a division by zero.
  SetTotalSamplesField(Size() > 0 && frame > 0 ? Size() / frame : -1);
  return TotalSamplesField();
}

void TAuFileIn::BeginRunCore() {
  if (Busy()) throw EAuException(au_messages::kInputIsBusy);
  if (!StreamAssigned() && FileName().empty()) {
    // Like any run that failed to start, it leaves no sample range for the next one.
    SetStartSample(0);
    SetEndSample(-1);
    throw EAuException(au_messages::kFileNameNotAssigned);
  }
  SetBusy(true);
  SetPosition(0);
  try {
    OpenFile();
    const std::int64_t frame = (static_cast<std::int64_t>(channels_.load()) *
                                static_cast<std::int64_t>(bits_per_sample_.load())) /
                               8;
    const std::int64_t rate = sample_rate_.load();
    if (frame <= 0 || frame > 0xFFFF || rate == 0) {
      throw EAuException(au_messages::kUnknownFormat);
    }
    SetSampleSize(static_cast<std::uint16_t>(frame));
    SetTotalSamplesField(Size() / frame);
    total_time_.store(static_cast<std::int32_t>(TotalSamplesField() / rate));
    if (StartSample() > 0) {
      Seek(0);
      SetPosition(0);
    }
    if (StartSample() > 0 || EndSample() != -1) {
      if (EndSample() > TotalSamplesField()) SetEndSample(-1);
      if (EndSample() != -1) {
        SetTotalSamplesField(EndSample() - StartSample() + 1);
      } else {
        // From StartSample to the end: exactly the frames that remain.
        SetTotalSamplesField(std::max<std::int64_t>(0, TotalSamplesField() - StartSample()));
      }
      SetSize(TotalSamplesField() * frame);
    }
  } catch (...) {
    // A start that failed leaves the input as it found it: closed and not busy, so the
    // next run (or another output) can start it again.
    try {
      CloseFile();
    } catch (...) {
    }
    ForgetRun();
    throw;
  }
}

void TAuFileIn::ForgetRun() {
  SetStartSample(0);
  SetEndSample(-1);
  SetBusy(false);
}

void TAuFileIn::EndUnstartedRunCore() {
  TAuStreamedInput::EndUnstartedRunCore();
  CloseFile();
}

void TAuFileIn::EndRunCore() {
  try {
    CloseFile();
  } catch (...) {
    ForgetRun();
    throw;
  }
  ForgetRun();
}

void TAuFileIn::CheckReadable() {
  if (open_count_.load() == 0) throw EAuException(au_messages::kFileNotOpen);
}

bool TAuFileIn::Seek(std::int64_t sample) {
  if (!Seekable()) return false;
  if (TotalSamplesField() != 0 && sample > TotalSamplesField()) return false;
  AuRecursiveLock lock(data_lock_);
  if (!Busy()) {
    SetStartSample(sample);
    SetPosition(sample * SampleSize());
    SetEndSample(-1);
    return true;
  }
  ClearPrefetch();
  sample += StartSample();
  bool result = false;
  try {
    result = SeekCore(sample);
  } catch (...) {
    return false;
  }
  SetPosition((sample - StartSample()) * SampleSize());
  return result;
}

void TAuFileIn::SetStream(TAuStream* stream) {
  CloseFile();
  SetStreamFields(stream);
}

// ---------------------------------------------------------------------------------------
// TAuTaggedFileIn

TAuTaggedFileIn::TAuTaggedFileIn() = default;
TAuTaggedFileIn::~TAuTaggedFileIn() = default;

}  // namespace kalvira
