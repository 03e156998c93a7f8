// PlayRandomTrack on a 100,000-line rallfm.lfm against one plain read of the same file,
// in the same run, warm cache. The radio's own 300 ms start wait is set to zero, so the
// figure is the work: reading and splitting the list, the draw, the file test, the stop
// and the start of the chain on the drawn track. Prints both medians and their ratio
// (target <= 2).
//
// Run: build/bench/bench/radio/kalvira_play_random_track_bench [runs]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/sound_device.h"
#include "base/sync_call.h"
#include "platform/desktop_services.h"
#include "radio/list_file.h"
#include "radio/radio_core.h"
#include "radio/settings_files.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 100000;

class NoAlert : public kalvira::IAlertPopup {
 public:
  void SetText(const std::string&) override {}
  void Show() override {}
};

class NoBox : public kalvira::IMessageBox {
 public:
  kalvira::MessageResult Show(const kalvira::MessageBoxRequest&) override {
    return kalvira::MessageResult::kOk;
  }
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Run(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 31;
  const fs::path dir =
      fs::temp_directory_path() / ("kalvira-prt-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir / "music");
  const std::string track = (dir / "music" / "track.mp3").string();
  if (!Run("sox -q -n -r 44100 -c 2 '" + (dir / "t.wav").string() +
           "' synth 30 sine 440 && lame --quiet --ta Bench --tn 1 '" + (dir / "t.wav").string() +
           "' '" + track + "'")) {
    std::fprintf(stderr, "could not make the track with sox and lame\n");
    return 1;
  }
  // Paths of the length a collection has; every one names the real track (through
  // "./" runs of different lengths), so every draw starts a file.
  std::vector<std::string> entries;
  entries.reserve(kLines);
  for (int i = 0; i < kLines; ++i) {
    std::string path = (dir / "music").string() + "/";
    for (int j = 0; j < i % 7; ++j) path += "./";
    entries.push_back(path + "track.mp3");
  }
  const std::string program_dir = dir.string() + "/";
  kalvira::WriteListFile(program_dir + "rallfm.lfm", entries);
  const auto list_size = fs::file_size(program_dir + "rallfm.lfm");

  kalvira::SyncCallQueue::Instance().BindUiThread();
  kalvira::TSettingsFiles settings(program_dir);
  NoAlert alert;
  NoBox box;
  kalvira::TRadioCore::Options options;
  options.device = kalvira::MakeNoSoundDevice();
  options.start_wait = std::chrono::milliseconds(0);
  kalvira::TRadioCore core(program_dir, settings, alert, box, std::move(options));

  std::vector<double> start_ms;
  std::vector<double> tags_ms;
  std::size_t checksum = 0;
  for (int i = 0; i < 11; ++i) {
    core.SetCurrentStation("POP");
    core.DXAudioOut1().Stop(false);
    kalvira::SyncCallQueue::Instance().RunPending();
    const auto start = Clock::now();
    core.StartFile(track);
    start_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    const auto tags_start = Clock::now();
    checksum += core.MP3In1().Id3v2Tags().Artist().size();
    tags_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - tags_start).count());
  }
  core.SetCurrentStation("ALLFM");
  std::vector<double> draw_ms;
  std::vector<double> read_ms;
  for (int i = 0; i < runs + 1; ++i) {
    // The previous track ends outside the timing, as the 300 ms wait would let it; its
    // done notice draws from a station without a list, so it starts nothing.
    core.SetCurrentStation("POP");
    core.DXAudioOut1().Stop(false);
    kalvira::SyncCallQueue::Instance().RunPending();
    core.SetCurrentStation("ALLFM");
    auto start = Clock::now();
    core.PlayRandomTrack();
    const double draw = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    start = Clock::now();
    std::ifstream in(program_dir + "rallfm.lfm", std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    checksum += bytes.size();
    const double read = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (i == 0) continue;  // the first round warms the cache and the decoder
    draw_ms.push_back(draw);
    read_ms.push_back(read);
  }
  if (core.Starts() != static_cast<std::uint64_t>(runs + 1 + 11) || checksum == 0) {
    std::fprintf(stderr, "not every draw started a track (%llu of %d)\n",
                 static_cast<unsigned long long>(core.Starts()), runs + 1);
    return 1;
  }
  const double draw = Median(draw_ms);
  const double read = Median(read_ms);
  std::printf("list: %d lines, %.1f MB\n", kLines, static_cast<double>(list_size) / 1e6);
  std::printf("PlayRandomTrack (no start wait): median %.2f ms over %d runs\n", draw, runs);
  std::printf("  of it, starting the file:     median %.2f ms\n", Median(start_ms));
  std::printf("  of it, the tags for the alert:  median %.2f ms\n", Median(tags_ms));
  std::printf("plain read of the list:          median %.2f ms\n", read);
  std::printf("ratio: %.2f (target <= 2)\n", draw / read);
  if (std::getenv("KEEP"))
    std::printf("%s\n", dir.c_str());
  else
    fs::remove_all(dir);
  return 0;
}
