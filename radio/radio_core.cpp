#include "radio/radio_core.h"

#include <sys/stat.h>

#include <thread>

#include "audio/sound_device.h"
#include "base/cp1251.h"
#include "base/exception.h"
#include "radio/list_file.h"
#include "radio/settings_keys.h"
#include "radio/stations.h"

namespace kalvira {

namespace {

// A file (not a folder) at `path`. A name holding NUL can name no file.
bool FileExists(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::uint64_t ClockSeed() {
  return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

}  // namespace

std::string QuotedPath(std::string_view path) {
  std::string out = "'";
  for (const char c : path) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

std::string NowPlayingMarkup(std::string_view station, std::string_view artist,
                             std::string_view track) {
  std::string out = "<b>";
  out.append(station).append("</b> - ").append(artist).append("<br>").append(track);
  return out;
}

std::size_t DrawIndex(std::size_t count, std::mt19937_64& random) {
  const std::size_t bound = count - 1;
  if (bound == 0) return 0;
  return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
}

TRadioCore::TRadioCore(std::string program_dir, const TSettingsFiles& settings, IAlertPopup& alert,
                       IMessageBox& message_box, Options options)
    : program_dir_(std::move(program_dir)),
      settings_(settings),
      alert_(alert),
      message_box_(message_box),
      start_wait_(options.start_wait),
      random_(options.seed ? options.seed() : ClockSeed()),
      dx_audio_out1_(options.device ? options.device : SoundDeviceFromEnvironment()) {
  mp3_in1_.SetLoop(false);
  mp3_in1_.SetEndSample(-1);
  mp3_in1_.SetHighPrecision(false);
  mp3_in1_.SetOutputChannels(TChannelsNumber::cnMonoOrStereo);
  dx_audio_out1_.SetInput(&mp3_in1_);
  dx_audio_out1_.SetDeviceNumber(0);
  dx_audio_out1_.SetFramesInBuffer(TDXAudioOut::kDefaultFramesInBuffer);
  dx_audio_out1_.SetPollingInterval(TDXAudioOut::kDefaultPollingInterval);
  dx_audio_out1_.SetPrefetchData(true);
  dx_audio_out1_.SetOnDone([this](TAuOutput*) { DXAudioOut1Done(); });
}

TRadioCore::TRadioCore(std::string program_dir, const TSettingsFiles& settings, IAlertPopup& alert,
                       IMessageBox& message_box)
    : TRadioCore(std::move(program_dir), settings, alert, message_box, Options{}) {}

TRadioCore::~TRadioCore() {
  dx_audio_out1_.SetOnDone({});
}

void TRadioCore::SelectStation(std::string_view code) {
  if (current_station_ == code) return;
  current_station_ = code;
  PlayRandomTrack();
}

void TRadioCore::PlayRandomTrack() {
  std::optional<TListFile> list;
  for (const std::string_view code : kStationTestOrder) {
    if (code != current_station_) continue;
    const StationInfo& station = *FindStation(code);
    list = TListFile::Read(ListFilePath(program_dir_, station.list_file));
    if (!list) settings_.LogError(std::string(radio_texts::kMissingList).append(station.log_word));
    break;
  }
  const std::size_t count = list ? list->Count() : 0;
  if (count == 0) {
    settings_.LogError(radio_texts::kNothingToPlay);
    return;
  }
  const std::string path = list->Entry(DrawIndex(count, random_));
  if (!FileExists(path)) {
    settings_.LogError(std::string(radio_texts::kFileMissingBefore)
                           .append(QuotedPath(path))
                           .append(radio_texts::kFileMissingAfter));
    return;
  }
  StartFile(path);

  std::string artist;
  std::string track;
  try {
    TId3v2Tags& tags = mp3_in1_.Id3v2Tags();
    artist = tags.Artist();
    track = Cp1251ToUtf8(tags.Track());
  } catch (const Exception&) {
    // The run has started and ends by itself if the file is unusable; the listener needs
    // no box for it.
    settings_.LogError(std::string(radio_texts::kUnreadableFile).append(QuotedPath(path)));
    return;
  }
  if (artist.empty()) return;
  alert_.SetText(NowPlayingMarkup(current_station_, artist, track));
  alert_.Show();
}

void TRadioCore::StartFile(const std::string& path) {
  const bool was_running = dx_audio_out1_.Busy();
  dx_audio_out1_.Stop(true);
  std::this_thread::sleep_for(start_wait_);
  mp3_in1_.SetFileName(path);
  if (skipping_ && was_running) ++done_notices_to_skip_;
  paused_ = false;
  dx_audio_out1_.Run();
  ++starts_;
  Changed();
}

void TRadioCore::StartJingle() {
  StartFile(program_dir_ + std::string(radio_texts::kTemplatesFolder) +
            settings_.ReadConfigValue(settings::kStartJingle));
}

void TRadioCore::DXAudioOut1Done() {
  if (done_notices_to_skip_ > 0) {
    --done_notices_to_skip_;
    return;
  }
  PlayRandomTrack();
  Changed();
}

void TRadioCore::PauseOrPlay() {
  if (pause_caption_ == radio_texts::kPlayingCaption) {
    dx_audio_out1_.Pause();
    pause_caption_ = radio_texts::kPausedCaption;
    paused_ = dx_audio_out1_.Busy();
  } else {
    dx_audio_out1_.Resume();
    pause_caption_ = radio_texts::kPlayingCaption;
    paused_ = false;
  }
  Changed();
}

void TRadioCore::ShowNowPlaying() {
  const std::string artist = mp3_in1_.Id3v2Tags().Artist();
  if (artist.empty()) {
    alert_.SetText(std::string(radio_texts::kNoTags));
  } else {
    alert_.SetText(
        NowPlayingMarkup(current_station_, artist, Cp1251ToUtf8(mp3_in1_.Id3v2Tags().Track())));
  }
  alert_.Show();
}

void TRadioCore::VoteFor() {
  Vote(true);
}
void TRadioCore::VoteAgainst() {
  Vote(false);
}

void TRadioCore::Vote(bool for_it) {
  const std::string path = mp3_in1_.FileName();
  if (!path.empty()) {
    if (for_it) {
      settings_.VoteFor(path);
    } else {
      settings_.VoteAgainst(path);
    }
  }
  MessageBoxRequest request;
  request.text = radio_texts::kVoteCounted;
  request.kind = MessageKind::kInformation;
  request.buttons = MessageButtons::kOkCancel;
  request.caption = radio_texts::kVoteCaption;
  request.picture = for_it ? radio_texts::kVoteForPicture : radio_texts::kVoteAgainstPicture;
  message_box_.Show(request);
}

void TRadioCore::Skip() {
  skipping_ = true;
  try {
    PlayRandomTrack();
  } catch (...) {
    skipping_ = false;
    throw;
  }
  skipping_ = false;
}

TRadioCore::PlayState TRadioCore::State() const {
  if (!dx_audio_out1_.Busy()) return PlayState::kStopped;
  return paused_ ? PlayState::kPaused : PlayState::kPlaying;
}

void TRadioCore::Changed() {
  if (on_changed_) on_changed_();
}

}  // namespace kalvira
