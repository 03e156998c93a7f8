// Decode throughput of the MP3 input read in a loop, against libmpg123 driven directly
// (its zero-copy frame decoding, the fastest way to use it) on the same file, in the same
// run. The figure that counts is the ratio: our speed over libmpg123's, target >= 0.9.
//
// The file is made at start with sox and lame: 60 s of stereo 44100 Hz at 192 kbit/s.
// Usage: kalvira_mp3_decode_bench [benchmark options]
#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "audio/mp3_in.h"

namespace {

std::string g_path;

// libmpg123 on its own: open the file, fix the output to 16 bits at the stream's own rate
// and channels, decode every frame in place.
std::size_t DecodeDirect(const std::string& path) {
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  mpg123_param2(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  std::size_t total = 0;
  if (mpg123_open(handle, path.c_str()) == MPG123_OK) {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    mpg123_getformat(handle, &rate, &channels, &encoding);
    mpg123_format_none(handle);
    mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_16);
    off_t frame = 0;
    unsigned char* audio = nullptr;
    std::size_t bytes = 0;
    for (;;) {
      const int result = mpg123_decode_frame(handle, &frame, &audio, &bytes);
      if (result == MPG123_NEW_FORMAT) continue;
      if (result != MPG123_OK) break;
      benchmark::DoNotOptimize(audio);
      total += bytes;
    }
    mpg123_close(handle);
  }
  mpg123_delete(handle);
  return total;
}

std::size_t DecodeOurs(const std::string& path);

void BM_Mpg123Direct(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) bytes = DecodeDirect(g_path);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

void BM_Mp3In(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) bytes = DecodeOurs(g_path);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

// Keeps the median CPU time of each benchmark beside the console output.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name == "median") {
        medians_[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Median(const std::string& name) const {
    const auto it = medians_.find(name);
    return it == medians_.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  char dir_template[] = "/tmp/kalvira-mp3-bench-XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return 1;
  const std::filesystem::path dir(dir_template);
  g_path = (dir / "bench.mp3").string();
  const std::string wav = (dir / "bench.wav").string();
  const std::string make = "sox -q -n -r 44100 -c 2 -b 16 -e signed '" + wav +
                           "' synth 60 pinknoise vol 0.5 && lame --quiet -b 192 '" + wav + "' '" +
                           g_path + "'";
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "cannot make the benchmark file (needs sox and lame)\n");
    return 1;
  }
  if (DecodeDirect(g_path) != DecodeOurs(g_path)) {
    std::fprintf(stderr, "the two decoders disagree on the length of the data\n");
    return 1;
  }

  benchmark::RegisterBenchmark("BM_Mpg123Direct", BM_Mpg123Direct)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(7)
      ->ReportAggregatesOnly(true);
  benchmark::RegisterBenchmark("BM_Mp3In", BM_Mp3In)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(7)
      ->ReportAggregatesOnly(true);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove_all(dir);

  const double direct = reporter.Median("BM_Mpg123Direct");
  const double ours = reporter.Median("BM_Mp3In");
  if (direct <= 0 || ours <= 0) return 1;
  const double ratio = direct / ours;
  std::printf(
      "mp3 decode speed, TMP3In / libmpg123 direct (median CPU time): %.3f (target >= 0.9) %s\n",
      ratio, ratio >= 0.9 ? "ok" : "BELOW TARGET");
  return 0;
}

namespace {

// The input as an output's worker drives it: a run read in a loop, each read handing out
// a pointer into the decoder's buffer.
std::size_t DecodeOurs(const std::string& path) {
  kalvira::TMP3In input;
  input.SetFileName(path);
  input.BeginRun();
  std::size_t total = 0;
  for (;;) {
    const std::uint8_t* data = nullptr;
    std::uint32_t bytes = 1u << 16;
    input.Read(data, bytes);
    if (bytes == 0) break;
    benchmark::DoNotOptimize(data);
    total += bytes;
  }
  input.EndRun();
  return total;
}

}  // namespace
