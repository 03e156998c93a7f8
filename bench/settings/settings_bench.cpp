// ReadConfigValue against the cheapest way to look at the same file: 1000 reads of one
// setting from a 200-key config.ini, and 1000 plain line scans of that file with
// std::ifstream, in the same run. Prints the ratio of the two (lower is better).
//
// The setting read is the last key of the last section, so both sides go through the
// whole file. Run: build/bench/bench/settings/settings_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/cp1251.h"
#include "radio/settings_files.h"

namespace {

namespace fs = std::filesystem;

constexpr int kCalls = 1000;

// A config.ini as one in use looks: the genre table, an error log, then the settings.
std::string MakeConfig() {
  std::string text;
  text += "[GENRES]\r\n";
  for (int i = 0; i < 150; ++i) text += "Жанр номер " + std::to_string(i) + "=ULTRA\r\n";
  text += "\r\n[ERRORLOG]\r\n";
  for (int i = 0; i < 30; ++i) {
    text += "08.12.2009 - 14:03:" + std::to_string(10 + i) + "=К сожалению файл '/музыка/Песня " +
            std::to_string(i) + ".mp3' недоступен\r\n";
  }
  text += "\r\n[ZAMRACONFIG]\r\n";
  for (int i = 0; i < 19; ++i)
    text += "Setting" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
  text += "FormCaption = \"Kalvira 5\"\r\n";
  return kalvira::Utf8ToCp1251(text);
}

class BenchDir {
 public:
  BenchDir() {
    dir_ = fs::temp_directory_path() / ("kalvira-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    std::ofstream(dir_ / "config.ini", std::ios::binary) << MakeConfig();
  }
  ~BenchDir() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Dir() const { return dir_.string() + "/"; }
  std::string Config() const { return (dir_ / "config.ini").string(); }

 private:
  fs::path dir_;
};

BenchDir* g_dir = nullptr;

void BM_ReadConfigValue(benchmark::State& state) {
  const kalvira::TSettingsFiles files(g_dir->Dir());
  for (auto _ : state) {
    for (int i = 0; i < kCalls; ++i) {
      std::string value = files.ReadConfigValue("formcaption");
      benchmark::DoNotOptimize(value);
    }
  }
  if (files.ReadConfigValue("FormCaption") != "Kalvira 5") state.SkipWithError("wrong value");
}

void BM_IfstreamLineScan(benchmark::State& state) {
  const std::string path = g_dir->Config();
  for (auto _ : state) {
    for (int i = 0; i < kCalls; ++i) {
      std::ifstream in(path, std::ios::binary);
      std::string line;
      std::size_t lines = 0;
      while (std::getline(in, line)) ++lines;
      benchmark::DoNotOptimize(lines);
    }
  }
}

BENCHMARK(BM_ReadConfigValue)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_IfstreamLineScan)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Keeps each benchmark's wall-clock and CPU time per iteration (the medians when repeated).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      const bool use = run.run_type == Run::RT_Iteration
                           ? !times_.contains(run.run_name.function_name)
                           : run.aggregate_name == "median";
      if (use)
        times_[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, std::pair<double, double>>& times() const { return times_; }

 private:
  std::map<std::string, std::pair<double, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  BenchDir dir;
  g_dir = &dir;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.times();
  const auto ours = t.find("BM_ReadConfigValue");
  const auto plain = t.find("BM_IfstreamLineScan");
  if (ours != t.end() && plain != t.end() && plain->second.first > 0 && plain->second.second > 0) {
    std::printf(
        "\n%d ReadConfigValue calls / %d ifstream line scans of a 200-key config.ini: "
        "ratio %.2f (wall clock), %.2f (CPU)\n",
        kCalls, kCalls, ours->second.first / plain->second.first,
        ours->second.second / plain->second.second);
  }
  benchmark::Shutdown();
  return 0;
}
