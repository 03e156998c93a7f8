// The radio itself: the one music chain MP3In1 -> DXAudioOut1, the current station, the
// random draw of a station's next track, the start-a-file sequence, pause and resume,
// now playing and the votes. The main window owns one and turns its menu items, buttons
// and the output's OnDone into these calls; it holds no behaviour of its own.
//
// Threads: the user-interface thread (the one bound in SyncCallQueue) makes every call,
// and OnDone of DXAudioOut1 comes back on it. StartFile blocks that thread for the start
// wait (300 ms) without processing messages, so no notice is handled meanwhile.
//
// Failures: a missing or empty list, a drawn path without a file and an unreadable tag
// record are written to the error log and end the call; a running track keeps playing.
// Writes to the settings files raise ProfileWriteError, which nothing here catches.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "audio/dx_audio_out.h"
#include "audio/mp3_in.h"
#include "platform/desktop_services.h"
#include "radio/settings_files.h"

namespace kalvira {

class SoundDevice;

// The radio core's own texts.
namespace radio_texts {
inline constexpr std::string_view kMissingList = "Отсутствует лист радио для станции ";
inline constexpr std::string_view kNothingToPlay = "К сожалению данных для воспоизведения нет";
inline constexpr std::string_view kFileMissingBefore = "К сожалению файл ";
inline constexpr std::string_view kFileMissingAfter = " недоступен";
inline constexpr std::string_view kUnreadableFile = "Не возможно прочитать музыкальный файл ";
inline constexpr std::string_view kNoTags =
    "<font color=\"red\">Ошибка, к сожалению файл не поддерживает ID3 теги</font>";
inline constexpr std::string_view kVoteCounted = "Ваш голос учтен";
inline constexpr std::string_view kVoteCaption = "Голосование";
inline constexpr int kVoteForPicture = 8;
inline constexpr int kVoteAgainstPicture = 10;
inline constexpr std::string_view kPlayingCaption = "| |";  // a press pauses
inline constexpr std::string_view kPausedCaption = ">";     // a press resumes
inline constexpr std::string_view kTemplatesFolder = "templates/";
}  // namespace radio_texts

// `path` in single quotes, every single quote inside it doubled: how the log names files.
std::string QuotedPath(std::string_view path);

// The alert text of a track: <b>STATION</b> - Artist<br>Track.
std::string NowPlayingMarkup(std::string_view station, std::string_view artist,
                             std::string_view track);

// The draw of PlayRandomTrack for a list of `count` (> 0) entries: uniform from 0 to
// count - 2, since the bound given to the generator is count - 1 and the generator never
// returns its bound; 0 for a list of one.
std::size_t DrawIndex(std::size_t count, std::mt19937_64& random);

class TRadioCore {
 public:
  struct Options {
    // The sound device of DXAudioOut1; the one KALVIRA_AUDIO_OUT chooses when empty.
    std::shared_ptr<SoundDevice> device;
    // The wait between stopping the old run and starting the new one.
    std::chrono::milliseconds start_wait{300};
    // Seed of the random draw; taken from the clock when empty.
    std::function<std::uint64_t()> seed;
  };

  // Playback as a desktop media control sees it.
  enum class PlayState { kStopped, kPlaying, kPaused };

  // `program_dir` ends with "/". The references must outlive the core.
  TRadioCore(std::string program_dir, const TSettingsFiles& settings, IAlertPopup& alert,
             IMessageBox& message_box, Options options);
  explicit TRadioCore(std::string program_dir, const TSettingsFiles& settings, IAlertPopup& alert,
                      IMessageBox& message_box);
  ~TRadioCore();
  TRadioCore(const TRadioCore&) = delete;
  TRadioCore& operator=(const TRadioCore&) = delete;

  // The station being played ("ALLFM", "POP", "CLASSIC", "ULTRA", "ENERGY"); empty until
  // the start sequence sets it.
  const std::string& CurrentStation() const { return current_station_; }
  void SetCurrentStation(std::string_view code) { current_station_ = code; }

  // The station menu (N1, N2, N3, N4, N9 and the tray's menu): a different station becomes
  // current and a track of it is drawn; the current one changes nothing.
  void SelectStation(std::string_view code);

  // Draws a random track of CurrentStation and starts it. The last entry of a list of two
  // or more is never drawn (the draw's bound is count - 1).
  void PlayRandomTrack();

  // The start-a-file sequence: stop without waiting, wait, give `path` to MP3In1, run.
  void StartFile(const std::string& path);
  // The start jingle: templates/ + sfx_w1 through the start-a-file sequence.
  void StartJingle();

  // OnDone of DXAudioOut1: the next track.
  void DXAudioOut1Done();

  // The pause button: pauses when its caption is "| |", else resumes; toggles the caption.
  void PauseOrPlay();
  const std::string& PauseCaption() const { return pause_caption_; }

  // The "?" button: the alert names the current file's artist and track.
  void ShowNowPlaying();
  // The vote menu: one vote for or against the current file, then the confirmation box.
  void VoteFor();
  void VoteAgainst();

  // A radio "skip" (desktop media keys): a new track of the current station replaces the
  // one playing, without the second draw that the stopped run's notice would cause.
  void Skip();

  PlayState State() const;
  // The file MP3In1 holds: the one playing, or the last one given to it.
  std::string CurrentFile() const { return mp3_in1_.FileName(); }
  // Runs started so far (the jingle and every track): tells one track from the next.
  std::uint64_t Starts() const { return starts_; }
  // Called after every change of the track or of State.
  void SetOnChanged(std::function<void()> handler) { on_changed_ = std::move(handler); }

  TMP3In& MP3In1() { return mp3_in1_; }
  TDXAudioOut& DXAudioOut1() { return dx_audio_out1_; }

 private:
  void Vote(bool for_it);
  void Changed();

  const std::string program_dir_;
  const TSettingsFiles& settings_;
  IAlertPopup& alert_;
  IMessageBox& message_box_;
  const std::chrono::milliseconds start_wait_;
  std::function<void()> on_changed_;

  // User-interface thread only.
  std::string current_station_;
  std::string pause_caption_{radio_texts::kPlayingCaption};
  std::mt19937_64 random_;
  bool paused_ = false;
  bool skipping_ = false;         // a Skip is drawing
  int done_notices_to_skip_ = 0;  // notices of runs a Skip stopped
  std::uint64_t starts_ = 0;

  TMP3In mp3_in1_;
  TDXAudioOut dx_audio_out1_;  // after its input, so it goes first
};

}  // namespace kalvira
