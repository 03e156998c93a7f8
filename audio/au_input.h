// The input side of the audio engine: a source of PCM data that an output (au_output.h)
// drains on its worker thread.
//
//   TAuInput          abstract source: Position/Size accounting, read-ahead (Prefetch),
//                     ReadInto/ReadFully, the per-run BeginRun/EndRun under DataLock.
//   TAuStreamedInput  adds the byte stream, the sample range (StartSample/EndSample),
//                     looping and the end-of-stream rule.
//   TAuFileIn         adds FileName, opening/closing under OpenLock, the format fields,
//                     Seek and the start and finish of a run.
//   TAuTaggedFileIn   the base of decoders whose files carry tags.
//   TAuFileStream     the byte stream a file input reads when no stream is supplied.
//
// What a decoder (a subclass of TAuTaggedFileIn or TAuFileIn) overrides:
//   OpenFileCore()   runs under OpenLock, only while the file is closed; sets the format
//                    (SetFormat) and Size (SetSize), may call OpenStream(). Called on the
//                    user-interface thread (format getters, tag accessors) or on the
//                    output's worker (BeginRun, a looping Read), whichever comes first.
//   CloseFileCore()  runs under OpenLock, only while the file is open; the worker (EndRun)
//                    or the user-interface thread (FileName, SetStream, destruction).
//   ReadCore()       worker thread, under DataLock, file open: hands out a pointer to at
//                    most `bytes` bytes the decoder holds and sets `bytes` to their number;
//                    0 means the data has ended. Does not touch Position.
//   SeekCore()       worker thread (or the caller of Seek), under DataLock: positions the
//                    decoder at a sample frame; false or an exception when it cannot.
//   PauseHook()/ResumeHook()  user-interface thread, from the output's Pause and Resume.
// A subclass's destructor must call ShutdownInput() first: the base destructors cannot
// reach the subclass's hooks any more.
//
// Locks: DataLock (one per input) guards the reads, Prefetch, BeginRun, EndRun and Seek.
// OpenLock (one per file input) guards OpenFile and CloseFile. Both are re-entrant. Order:
// DataLock before OpenLock, never the other way round. No output lock is held while either
// is taken. Fields that other threads poll (Position, Size, the format, the sample range,
// Busy) are atomics written under those locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/au_lock.h"
#include "base/mutex.h"
#include "base/thread_annotations.h"

namespace kalvira {

class TAuOutput;

// A byte stream a streamed input reads from. Not thread-safe: the input serializes use.
class TAuStream {
 public:
  virtual ~TAuStream() = default;
  // Reads up to `count` bytes into `dest`; returns how many (0 at the end).
  // Raises EAuException on a read error.
  virtual std::size_t Read(void* dest, std::size_t count) = 0;
  // Moves to `offset` relative to `origin` (SEEK_SET, SEEK_CUR, SEEK_END); returns the new
  // position. Raises EAuException when the position is invalid.
  virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
  virtual std::int64_t Size() = 0;
};

// A read-only stream over a file. Opening fails with EAuException carrying the system's
// message for the error (e.g. "No such file or directory"). Destruction closes the file.
class TAuFileStream : public TAuStream {
 public:
  explicit TAuFileStream(const std::string& path);
  ~TAuFileStream() override;
  TAuFileStream(const TAuFileStream&) = delete;
  TAuFileStream& operator=(const TAuFileStream&) = delete;

  std::size_t Read(void* dest, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  std::int64_t Size() override;
  int Handle() const { return fd_; }

 private:
  int fd_ = -1;
};

class TAuInput {
 public:
  TAuInput();
  virtual ~TAuInput();
  TAuInput(const TAuInput&) = delete;
  TAuInput& operator=(const TAuInput&) = delete;

  // Format of the data. File inputs open the file to answer.
  virtual std::uint32_t GetBitsPerSample() = 0;
  virtual std::uint32_t GetChannels() = 0;
  virtual std::uint32_t GetSampleRate() = 0;
  virtual std::int32_t GetTotalTime() { return 0; }
  virtual std::int64_t GetTotalSamples() { return 0; }

  // Start and finish a run (the output's Setup and Teardown, on its worker). A failed
  // BeginRun raises EAuException with the cause's message; call EndRun only after a
  // BeginRun that succeeded.
  void BeginRun();
  void EndRun();
  // The end of a run that failed before its BeginRun (the output's Teardown after a
  // failed Setup): the input is left as a finished run leaves it, its file closed and its
  // sample range back to the whole data, since the range applies to one run only. An
  // input that another run is using (Busy) is left alone: its file and range are that
  // run's.
  void EndUnstartedRun();

  // Hands out a pointer to at most `bytes` bytes held by the input and sets `bytes` to
  // their number; the pointer stays valid until the next call on the input. 0 bytes (and
  // a null pointer at the end of the data) means nothing more.
  virtual void Read(const std::uint8_t*& data, std::uint32_t& bytes);
  // Reads up to `bytes` ahead into the input's own buffer; they are delivered (and
  // counted in Position) by the next reads. Does nothing while read-ahead data is held.
  virtual void Prefetch(std::uint32_t bytes);
  // Copies at most `size` bytes of one Read into `dest`; returns their number.
  std::uint32_t ReadInto(void* dest, std::uint32_t size);
  // Fills `dest` with up to `size` bytes from as many reads as needed; `eof` tells that
  // the last read delivered nothing.
  std::uint32_t ReadFully(void* dest, std::uint32_t size, bool& eof);

  // Called by the output's Pause and Resume on the user-interface thread.
  virtual void PauseHook() {}
  virtual void ResumeHook() {}

  // Bytes delivered since the run began; bytes the run is expected to deliver (0 or less
  // when unknown). Safe from any thread.
  std::int64_t Position() const { return position_.load(); }
  std::int64_t Size() const { return size_.load(); }
  std::uint16_t SampleSize() const { return sample_size_.load(); }
  // A run is using the input.
  bool Busy() const { return busy_.load(); }
  bool EndOfStream() const;

  // Outputs whose Input is this input are told when it goes away (they set Input to none).
  void AddOutput(TAuOutput* output) EXCLUDES(outputs_mu_);
  void RemoveOutput(TAuOutput* output) EXCLUDES(outputs_mu_);

 protected:
  // Worker thread, under DataLock.
  virtual void BeginRunCore() = 0;
  virtual void EndRunCore() = 0;
  // Worker thread, under DataLock, the input not busy. Nothing to undo by default.
  virtual void EndUnstartedRunCore() {}
  virtual void ReadCore(const std::uint8_t*& data, std::uint32_t& bytes) = 0;

  // Tells the outputs that use this input that it is going away. Idempotent; the
  // most-derived destructor calls it (through ShutdownInput for file inputs) first.
  void DetachOutputs() EXCLUDES(outputs_mu_);

  void SetSize(std::int64_t size) { size_.store(size); }
  void SetPosition(std::int64_t position) { position_.store(position); }
  void SetSampleSize(std::uint16_t sample_size) { sample_size_.store(sample_size); }
  void SetBusy(bool busy) { busy_.store(busy); }

  // Delivers from the read-ahead buffer; false when it holds nothing.
  bool ReadPrefetched(const std::uint8_t*& data, std::uint32_t& bytes) REQUIRES(data_lock_);
  void ClearPrefetch() REQUIRES(data_lock_) { prefetch_start_ = prefetch_end_ = 0; }

  mutable AuRecursiveMutex data_lock_;
  bool end_of_stream_ GUARDED_BY(data_lock_) = false;

 private:
  std::atomic<std::int64_t> position_{0};
  std::atomic<std::int64_t> size_{0};
  std::atomic<std::uint16_t> sample_size_{0};
  std::atomic<bool> busy_{false};
  std::vector<std::uint8_t> prefetch_buffer_ GUARDED_BY(data_lock_);
  std::uint32_t prefetch_start_ GUARDED_BY(data_lock_) = 0;
  std::uint32_t prefetch_end_ GUARDED_BY(data_lock_) = 0;

  Mutex outputs_mu_;
  std::vector<TAuOutput*> outputs_ GUARDED_BY(outputs_mu_);
};

class TAuStreamedInput : public TAuInput {
 public:
  TAuStreamedInput();
  ~TAuStreamedInput() override;

  // The streamed read: the end-of-stream rule, the cut to Size and looping.
  void Read(const std::uint8_t*& data, std::uint32_t& bytes) override;

  // Supplies the stream to read (not owned; must outlive its use); none makes a file
  // input open its own file again.
  virtual void SetStream(TAuStream* stream);
  TAuStream* Stream() const { return stream_.load(); }
  bool StreamAssigned() const { return stream_assigned_.load(); }

  bool Seekable() const { return seekable_.load(); }
  std::int64_t StartSample() const { return start_sample_.load(); }
  void SetStartSample(std::int64_t sample) { start_sample_.store(sample); }
  std::int64_t EndSample() const { return end_sample_.load(); }
  void SetEndSample(std::int64_t sample) { end_sample_.store(sample); }
  bool Loop() const { return loop_.load(); }
  void SetLoop(bool loop) { loop_.store(loop); }

 protected:
  // Positions the source at a sample frame (worker, under DataLock).
  virtual bool SeekCore(std::int64_t sample) = 0;
  // Raises when the source cannot be read now (a file input whose file is closed).
  virtual void CheckReadable() {}

  void SetSeekable(bool seekable) { seekable_.store(seekable); }
  // One ReadCore with the Position accounting, the end-of-stream rule and the cut to Size.
  void ReadOnce(const std::uint8_t*& data, std::uint32_t& bytes) REQUIRES(data_lock_);
  // Starts the next pass of a looping input at StartSample.
  void RestartLoop() REQUIRES(data_lock_);
  void EndUnstartedRunCore() override;
  void SetStreamFields(TAuStream* stream) {
    stream_.store(stream);
    stream_assigned_.store(stream != nullptr);
  }
  std::int64_t TotalSamplesField() const { return total_samples_.load(); }
  void SetTotalSamplesField(std::int64_t samples) { total_samples_.store(samples); }

 private:
  std::atomic<TAuStream*> stream_{nullptr};
  std::atomic<bool> stream_assigned_{false};
  std::atomic<bool> seekable_{true};
  std::atomic<std::int64_t> start_sample_{0};
  std::atomic<std::int64_t> end_sample_{-1};
  std::atomic<bool> loop_{false};
  std::atomic<std::int64_t> total_samples_{0};
};

class TAuFileIn : public TAuStreamedInput {
 public:
  TAuFileIn();
  ~TAuFileIn() override;

  // Assigning closes the open file (waiting for a read in progress) and stores the name;
  // it neither opens the file nor checks Busy. UTF-8.
  void SetFileName(const std::string& file_name);
  std::string FileName() const;

  // Open the file (once: a second call finds it open) and close it. Any thread.
  void OpenFile();
  void CloseFile();
  std::int32_t OpenCount() const { return open_count_.load(); }

  std::uint32_t GetBitsPerSample() override;
  std::uint32_t GetChannels() override;
  std::uint32_t GetSampleRate() override;
  std::int32_t GetTotalTime() override;
  std::int64_t GetTotalSamples() override;
  // Whole seconds of the run, set by BeginRun.
  std::int32_t TotalTime() const { return total_time_.load(); }

  // Idle: sets the start of the next run. During a run: positions the source at `sample`
  // frames after the run's start. False when the source cannot be positioned.
  bool Seek(std::int64_t sample);

  void SetStream(TAuStream* stream) override;

 protected:
  virtual void OpenFileCore() = 0;
  virtual void CloseFileCore() = 0;

  void BeginRunCore() override;
  void EndRunCore() override;
  void EndUnstartedRunCore() override;
  void CheckReadable() override;

  // Only inside OpenFileCore (OpenLock held): the supplied stream, or a TAuFileStream over
  // FileName owned by the input until the file is closed. Raises what opening the file
  // raises.
  TAuStream* OpenStream();
  // Inside OpenFileCore: the format of the decoded data.
  void SetFormat(std::uint32_t bits_per_sample, std::uint32_t sample_rate, std::uint32_t channels);

  // Closes the file and detaches the outputs; the most-derived destructor calls it first.
  void ShutdownInput();

  mutable AuRecursiveMutex open_lock_ ACQUIRED_AFTER(data_lock_);

 private:
  // After a run, or a start that failed: the whole file again and not busy.
  void ForgetRun();

  std::string file_name_ GUARDED_BY(open_lock_);
  std::unique_ptr<TAuFileStream> own_stream_ GUARDED_BY(open_lock_);
  std::atomic<std::int32_t> open_count_{0};
  std::atomic<std::uint32_t> bits_per_sample_{0};
  std::atomic<std::uint32_t> sample_rate_{0};
  std::atomic<std::uint32_t> channels_{0};
  std::atomic<std::int32_t> total_time_{0};
};

// The base of file decoders whose files carry descriptive tags. The tag records belong
// to the decoder's module; their accessors call OpenFile() first, so reading tags is what
// opens a file when no run does.
class TAuTaggedFileIn : public TAuFileIn {
 public:
  TAuTaggedFileIn();
  ~TAuTaggedFileIn() override;
};

}  // namespace kalvira
