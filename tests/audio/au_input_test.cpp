// The input layers driven directly from the test thread (the way an output's worker
// drives them): reads, read-ahead, the sample range, looping, seeking, opening and the
// start of a run.
#include "audio/au_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/au_exception.h"
#include "tests/audio/support/audio_test_support.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using testing::PatternBytes;
using testing::RaisedMessage;
using testing::SimInput;
using testing::SimInputOptions;

// Reads with Read (not ReadFully) in requests of `request` bytes until `limit` bytes or
// a read of 0 bytes; returns what was delivered.
std::string ReadAll(TAuInput& input, std::uint32_t request, std::size_t limit = 1 << 24) {
  std::string out;
  while (out.size() < limit) {
    const std::uint8_t* data = nullptr;
    std::uint32_t bytes = request;
    input.Read(data, bytes);
    if (bytes == 0) {
      EXPECT_EQ(data, nullptr);
      break;
    }
    EXPECT_LE(bytes, request);
    out.append(reinterpret_cast<const char*>(data), bytes);
  }
  return out;
}

// Compares byte strings without printing them whole: the size and the first difference.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& expected) {
  if (got == expected) return ::testing::AssertionSuccess();
  std::size_t i = 0;
  while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
  return ::testing::AssertionFailure() << "got " << got.size() << " bytes, expected "
                                       << expected.size() << "; first difference at " << i;
}

SimInputOptions Pcm(std::int64_t data_bytes, std::uint32_t max_chunk = 4096) {
  SimInputOptions options;
  options.bits_per_sample = 16;
  options.channels = 2;  // 4-byte frames
  options.sample_rate = 8000;
  options.data_bytes = data_bytes;
  options.max_chunk = max_chunk;
  return options;
}

TEST(AuInputReadTest, ReadsAfterTheEndGiveNothingHoweverOften) {
  SimInput input(Pcm(1000, 300));
  input.BeginRun();
  EXPECT_TRUE(SameBytes(ReadAll(input, 512), PatternBytes(0, 1000)));
  for (int i = 0; i < 5; ++i) {
    const std::uint8_t* data = reinterpret_cast<const std::uint8_t*>(&i);
    std::uint32_t bytes = 100;
    input.Read(data, bytes);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(data, nullptr);
  }
  EXPECT_TRUE(input.EndOfStream());
  EXPECT_EQ(input.Position(), 1000);
  bool eof = false;
  char buffer[16];
  EXPECT_EQ(input.ReadFully(buffer, sizeof buffer, eof), 0u);
  EXPECT_TRUE(eof);
  input.EndRun();
}

// Size decides where a run ends: a known size cuts the last read, an unknown one (0 or
// less) lets the decoder's own end decide.
TEST(AuInputReadTest, DeclaredSizeDecidesTheEnd) {
  struct Case {
    const char* name;
    std::int64_t data_bytes;
    std::int64_t declared_size;
    std::int64_t expected_bytes;
  };
  const Case cases[] = {
      {"size equals data", 5000, 5000, 5000},
      {"size unknown (0)", 5000, 0, 5000},
      {"size unknown (-1)", 5000, -1, 5000},
      {"size below data is cut exactly", 5000, 3001, 3001},
      {"size above data ends at the decoder's end", 5000, 8000, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInputOptions options = Pcm(c.data_bytes, 700);
    options.declared_size = c.declared_size;
    SimInput input(options);
    input.BeginRun();
    const std::string got = ReadAll(input, 1000);
    EXPECT_TRUE(SameBytes(got, PatternBytes(0, c.expected_bytes)));
    EXPECT_EQ(input.Position(), c.expected_bytes);
    input.EndRun();
  }
}

TEST(AuInputReadTest, PrefetchedBytesComeFirstAndCountOnce) {
  SimInput input(Pcm(10000, 4096));
  input.BeginRun();
  std::string got = ReadAll(input, 100, 100);
  ASSERT_EQ(got.size(), 100u);

  input.Prefetch(300);
  EXPECT_EQ(input.Position(), 100) << "read-ahead bytes count only when delivered";
  input.Prefetch(5000);  // something is held: no second read-ahead
  EXPECT_EQ(input.DecoderOffset(), 400);

  // A larger request is served from the held bytes only, in pieces if asked so.
  const std::uint8_t* data = nullptr;
  std::uint32_t bytes = 1000;
  input.Read(data, bytes);
  ASSERT_EQ(bytes, 300u);
  got.append(reinterpret_cast<const char*>(data), bytes);
  EXPECT_EQ(input.Position(), 400);

  input.Prefetch(50);
  bytes = 20;
  input.Read(data, bytes);
  ASSERT_EQ(bytes, 20u);
  got.append(reinterpret_cast<const char*>(data), bytes);
  EXPECT_EQ(input.Position(), 420);

  // ReadFully crosses from the rest of the held bytes into the decoder's data.
  std::string rest(10000 - 420, '\0');
  bool eof = true;
  EXPECT_EQ(input.ReadFully(rest.data(), static_cast<std::uint32_t>(rest.size()), eof),
            rest.size());
  EXPECT_FALSE(eof) << "a source that ends exactly at the end of dest reports eof later";
  got += rest;
  EXPECT_TRUE(SameBytes(got, PatternBytes(0, 10000)));
  EXPECT_EQ(input.Position(), 10000);
  EXPECT_EQ(input.ReadFully(rest.data(), 10, eof), 0u);
  EXPECT_TRUE(eof);
  input.EndRun();
}

TEST(AuInputReadTest, PrefetchAtTheEndAndEndRunDropHeldBytes) {
  SimInput input(Pcm(1000, 4096));
  input.BeginRun();
  EXPECT_EQ(ReadAll(input, 1000, 1000).size(), 1000u);
  input.Prefetch(500);  // nothing left: nothing held
  EXPECT_EQ(ReadAll(input, 10), "");

  // Held bytes of one run never leak into the next.
  input.EndRun();
  input.BeginRun();
  input.Prefetch(400);
  input.EndRun();
  input.BeginRun();
  EXPECT_TRUE(SameBytes(ReadAll(input, 1000), PatternBytes(0, 1000)));
  input.EndRun();
}

TEST(AuInputReadTest, ReadIntoCopiesOneRead) {
  SimInput input(Pcm(1000, 256));
  input.BeginRun();
  char buffer[1000];
  EXPECT_EQ(input.ReadInto(buffer, sizeof buffer), 256u);
  EXPECT_EQ(std::string(buffer, 256), PatternBytes(0, 256));
  bool eof = false;
  EXPECT_EQ(input.ReadFully(buffer, 744, eof), 744u);
  EXPECT_EQ(input.ReadInto(buffer, sizeof buffer), 0u);
  input.EndRun();
}

// A sample range applies to one run; frames here are 4 bytes, the source has 1000.
TEST(AuInputRangeTest, StartAndEndSampleSelectFramesForOneRun) {
  struct Case {
    const char* name;
    std::int64_t start_sample;
    std::int64_t end_sample;
    std::int64_t first_byte;
    std::int64_t bytes;
    std::int64_t size;
  };
  const Case cases[] = {
      {"whole source", 0, -1, 0, 4000, 4000},
      {"first 100 frames", 0, 99, 0, 400, 400},
      {"frames 100 to 199", 100, 199, 400, 400, 400},
      {"end beyond the source means up to the end", 0, 5000, 0, 4000, 4000},
      // Start without an end: the frames that remain after the start.
      {"start without an end", 100, -1, 400, 3600, 3600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInput input(Pcm(4000, 1000));
    input.SetStartSample(c.start_sample);
    input.SetEndSample(c.end_sample);
    input.BeginRun();
    EXPECT_EQ(input.Size(), c.size);
    EXPECT_EQ(input.Position(), 0);
    EXPECT_TRUE(SameBytes(ReadAll(input, 1000), PatternBytes(c.first_byte, c.bytes)));
    input.EndRun();
    EXPECT_EQ(input.StartSample(), 0);
    EXPECT_EQ(input.EndSample(), -1);
    // The next run plays the whole source again.
    input.BeginRun();
    EXPECT_TRUE(SameBytes(ReadAll(input, 1000), PatternBytes(0, 4000)));
    input.EndRun();
  }
}

TEST(AuInputRangeTest, LoopRepeatsTheRangeWithoutLosingItsTail) {
  // Frames 10..59 (200 bytes) in reads of at most 64 bytes: the last read of each pass is
  // cut to the range and still delivered before the next pass starts.
  SimInput input(Pcm(4000, 64));
  input.SetStartSample(10);
  input.SetEndSample(59);
  input.SetLoop(true);
  input.BeginRun();
  const std::string got = ReadAll(input, 64, 1100);
  std::string expected;
  while (expected.size() < got.size()) expected += PatternBytes(40, 200);
  expected.resize(got.size());
  EXPECT_TRUE(SameBytes(got, expected));
  EXPECT_GE(got.size(), 1100u);
  input.EndRun();
}

TEST(AuInputRangeTest, LoopWithUnknownSizeAndWithoutSeeking) {
  struct Case {
    const char* name;
    bool seekable;
    std::int64_t declared_size;
  };
  const Case cases[] = {
      {"seekable, size unknown", true, 0},
      {"not seekable: restarts the run", false, 300},
      {"not seekable, size unknown", false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInputOptions options = Pcm(300, 128);
    options.declared_size = c.declared_size;
    options.seekable = c.seekable;
    SimInput input(options);
    input.SetLoop(true);
    input.BeginRun();
    const int opens_before = input.Opens();
    const std::string got = ReadAll(input, 128, 900);
    EXPECT_TRUE(SameBytes(got, PatternBytes(0, 300) + PatternBytes(0, 300) + PatternBytes(0, 300)));
    if (!c.seekable) {
      EXPECT_EQ(input.Opens(), opens_before + 2);
    }
    input.EndRun();
  }
}

TEST(AuInputRangeTest, LoopOverAnEmptySourceEnds) {
  SimInput input(Pcm(0));
  input.SetLoop(true);
  input.BeginRun();
  EXPECT_EQ(ReadAll(input, 100), "");
  EXPECT_EQ(ReadAll(input, 100), "");
  input.EndRun();
}

TEST(AuInputSeekTest, IdleSeekSetsTheStartOfTheNextRun) {
  SimInput input(Pcm(4000, 1000));
  EXPECT_TRUE(input.Seek(50));
  EXPECT_EQ(input.StartSample(), 50);
  EXPECT_EQ(input.EndSample(), -1);
  input.BeginRun();
  EXPECT_EQ(input.Position(), 0);
  EXPECT_TRUE(SameBytes(ReadAll(input, 1000), PatternBytes(200, 3800)));
  input.EndRun();
}

TEST(AuInputSeekTest, SeekDuringARunIsRelativeToTheRunStart) {
  SimInput input(Pcm(4000, 1000));
  input.SetStartSample(100);
  input.BeginRun();
  input.Prefetch(64);
  EXPECT_TRUE(input.Seek(10));
  EXPECT_EQ(input.Position(), 40);
  // The held read-ahead is gone; reading continues at frame 110.
  EXPECT_TRUE(SameBytes(ReadAll(input, 1000, 8), PatternBytes(440, 1000).substr(0, 1000)));
  EXPECT_FALSE(input.Seek(2000)) << "beyond the run's frames";
  input.EndRun();
}

TEST(AuInputSeekTest, SeekFailures) {
  {
    SimInputOptions options = Pcm(4000);
    options.seekable = false;
    SimInput input(options);
    EXPECT_FALSE(input.Seek(1));
  }
  {
    SimInputOptions options = Pcm(4000, 100);
    SimInput input(options);
    input.BeginRun();
    EXPECT_EQ(ReadAll(input, 100, 100).size(), 100u);
    options.fail_seek = true;
    input.SetOptions(options);
    EXPECT_FALSE(input.Seek(5));
    EXPECT_EQ(input.Position(), 100) << "a failed seek leaves the position";
    input.EndRun();
  }
}

TEST(AuInputStartTest, FailedStartsRaiseAndLeaveTheInputReusable) {
  struct Case {
    const char* name;
    SimInputOptions options;
    bool empty_name;
    const char* message;
  };
  SimInputOptions fail_open = Pcm(4000);
  fail_open.fail_open = true;
  SimInputOptions no_channels = Pcm(4000);
  no_channels.channels = 0;
  SimInputOptions no_rate = Pcm(4000);
  no_rate.sample_rate = 0;
  const Case cases[] = {
      {"no file name", Pcm(4000), true, au_messages::kFileNameNotAssigned},
      {"open fails", fail_open, false, testing::kSimOpenError},
      {"no channels", no_channels, false, au_messages::kUnknownFormat},
      {"sample rate 0", no_rate, false, au_messages::kUnknownFormat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimInput input(c.options);
    if (c.empty_name) input.SetFileName("");
    input.SetStartSample(3);
    try {
      input.BeginRun();
      ADD_FAILURE() << "BeginRun succeeded";
    } catch (const EAuException& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_TRUE(input.EndOfStream());
    EXPECT_FALSE(input.Busy());
    EXPECT_EQ(input.OpenCount(), 0);
    // Mended: the input is usable again once the cause is gone.
    input.SetFileName("again.pcm");
    input.SetOptions(Pcm(4000));
    input.BeginRun();
    EXPECT_TRUE(SameBytes(ReadAll(input, 4000), PatternBytes(0, 4000)));
    input.EndRun();
  }
}

TEST(AuInputStartTest, BusyInputRefusesASecondRun) {
  SimInput input(Pcm(4000));
  input.BeginRun();
  try {
    input.BeginRun();
    ADD_FAILURE() << "second BeginRun succeeded";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.Message(), au_messages::kInputIsBusy);
  }
  // The first run is untouched.
  EXPECT_TRUE(input.Busy());
  EXPECT_EQ(input.OpenCount(), 1);
  input.EndRun();
  EXPECT_FALSE(input.Busy());
}

TEST(AuInputFileTest, FileNameClosesAndGettersReopen) {
  SimInput input(Pcm(16000));
  EXPECT_EQ(input.OpenCount(), 0);
  EXPECT_EQ(input.GetChannels(), 2u);
  EXPECT_EQ(input.GetSampleRate(), 8000u);
  EXPECT_EQ(input.GetBitsPerSample(), 16u);
  EXPECT_EQ(input.Opens(), 1) << "the file opens once";
  input.SetFileName("next.pcm");
  EXPECT_EQ(input.FileName(), "next.pcm");
  EXPECT_EQ(input.OpenCount(), 0);
  EXPECT_EQ(input.Closes(), 1);
  SimInputOptions mono = Pcm(16000);
  mono.channels = 1;
  input.SetOptions(mono);
  EXPECT_EQ(input.GetChannels(), 1u);
  EXPECT_EQ(input.Opens(), 2);
}

TEST(AuInputFileTest, ReadAfterCloseFails) {
  SimInput input(Pcm(16000));
  input.BeginRun();
  input.CloseFile();
  const std::uint8_t* data = nullptr;
  std::uint32_t bytes = 100;
  try {
    input.Read(data, bytes);
    ADD_FAILURE() << "read of a closed file succeeded";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.Message(), au_messages::kFileNotOpen);
  }
  input.EndRun();
}

TEST(AuInputFileTest, TotalTimeAndTotalSamples) {
  struct Case {
    std::uint32_t bits, rate, channels;
    std::int64_t size;
    std::int32_t seconds;
    std::int64_t samples;
  };
  const Case cases[] = {
      {8, 2, 1, 5, 2, 5},  // 2.5 s: halves to even
      {8, 2, 1, 7, 4, 7},  // 3.5 s
      {8, 2, 1, 6, 3, 6},  //
      {16, 8000, 2, 32000, 1, 8000},
      {16, 8000, 2, 0, 0, -1},  // unknown size
      {16, 8000, 2, -1, 0, -1},
      {16, 8000, 0, 32000, 0, -1},  // unknown format: no division by zero
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("size " + std::to_string(c.size) + ", channels " + std::to_string(c.channels));
    SimInputOptions options;
    options.bits_per_sample = c.bits;
    options.sample_rate = c.rate;
    options.channels = c.channels;
    options.data_bytes = 100;
    options.declared_size = c.size;
    SimInput input(options);
    EXPECT_EQ(input.GetTotalTime(), c.seconds);
    EXPECT_EQ(input.GetTotalSamples(), c.samples);
  }
}

TEST(AuInputFileTest, RunSetsSampleSizeTotalsAndTime) {
  SimInput input(Pcm(80000));  // 20000 frames at 8000 Hz
  input.BeginRun();
  EXPECT_EQ(input.SampleSize(), 4);
  EXPECT_EQ(input.TotalTime(), 2);
  EXPECT_EQ(input.Size(), 80000);
  input.EndRun();
  EXPECT_EQ(input.OpenCount(), 0) << "the file closes at the end of every run";
}

TEST(AuFileStreamTest, ReadsAFileAndReportsTheSystemMessage) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("data.bin"), "0123456789");
  TAuFileStream stream(dir.File("data.bin"));
  EXPECT_EQ(stream.Size(), 10);
  char buffer[4];
  EXPECT_EQ(stream.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(stream.Seek(-2, SEEK_END), 8);
  EXPECT_EQ(stream.Read(buffer, 4), 2u);
  EXPECT_EQ(stream.Read(buffer, 4), 0u);

  try {
    TAuFileStream missing(dir.File("missing.mp3"));
    ADD_FAILURE() << "opened a missing file";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.Message(), "No such file or directory");
  }
  try {
    TAuFileStream folder(dir.path().string());
    ADD_FAILURE() << "opened a folder";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.Message(), "Is a directory");
  }
}

// A decoder of raw 8-bit mono PCM that reads through OpenStream: a file of its own, or the
// stream the caller supplied.
class RawInput : public TAuFileIn {
 public:
  ~RawInput() override { ShutdownInput(); }

 protected:
  void OpenFileCore() override {
    stream_ = OpenStream();
    SetFormat(8, 8000, 1);
    SetSize(stream_->Size());
    stream_->Seek(0, SEEK_SET);
  }
  void CloseFileCore() override { stream_ = nullptr; }
  void ReadCore(const std::uint8_t*& data, std::uint32_t& bytes) override {
    if (chunk_.size() < bytes) chunk_.resize(bytes);
    bytes = static_cast<std::uint32_t>(stream_->Read(chunk_.data(), bytes));
    data = chunk_.data();
  }
  bool SeekCore(std::int64_t sample) override { return stream_->Seek(sample, SEEK_SET) == sample; }

 private:
  TAuStream* stream_ = nullptr;
  std::vector<std::uint8_t> chunk_;
};

class MemoryStream : public TAuStream {
 public:
  explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}
  std::size_t Read(void* dest, std::size_t count) override {
    const std::size_t n = std::min(count, bytes_.size() - position_);
    std::memcpy(dest, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }
  std::int64_t Seek(std::int64_t offset, int origin) override {
    if (origin != SEEK_SET) throw EAuException("unsupported");
    position_ = static_cast<std::size_t>(offset);
    return offset;
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }

 private:
  std::string bytes_;
  std::size_t position_ = 0;
};

TEST(AuFileStreamTest, FileInputsReadTheirFileOrTheSuppliedStream) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("a.raw"), "abcdefghij");
  RawInput input;
  input.SetFileName(dir.File("a.raw"));
  EXPECT_EQ(input.GetTotalTime(), 0);
  input.SetStartSample(2);
  input.SetEndSample(5);
  input.BeginRun();
  EXPECT_EQ(ReadAll(input, 3), "cdef");
  input.EndRun();

  input.SetFileName(dir.File("missing.raw"));
  try {
    input.BeginRun();
    ADD_FAILURE() << "started a missing file";
  } catch (const EAuException& e) {
    EXPECT_EQ(e.Message(), "No such file or directory");
  }
  EXPECT_FALSE(input.Busy());

  // A supplied stream needs no file name and closes the file that was open.
  input.SetFileName(dir.File("a.raw"));
  EXPECT_EQ(input.GetChannels(), 1u);
  MemoryStream memory("0123456789ABCDEF");
  input.SetFileName("");
  input.SetStream(&memory);
  EXPECT_EQ(input.OpenCount(), 0);
  input.BeginRun();
  EXPECT_EQ(input.Size(), 16);
  EXPECT_EQ(ReadAll(input, 5), "0123456789ABCDEF");
  input.EndRun();
  input.SetStream(nullptr);
  EXPECT_EQ(RaisedMessage([&] { input.BeginRun(); }), au_messages::kFileNameNotAssigned);
}

}  // namespace
}  // namespace kalvira
