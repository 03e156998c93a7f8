#include "desktop/main_window_controls.h"

#include <QPushButton>
#include <exception>

#include "app/error_report.h"
#include "ui_main_window.h"

namespace kalvira::desktop {

MediaState TMainWindowControls::State() const {
  switch (window_.Radio().State()) {
    case TRadioCore::PlayState::kPlaying:
      return MediaState::kPlaying;
    case TRadioCore::PlayState::kPaused:
      return MediaState::kPaused;
    case TRadioCore::PlayState::kStopped:
      break;
  }
  return MediaState::kStopped;
}

// Reading the tag record opens the file when the chain has closed it; a file that cannot
// be read leaves only its path and the station.
TrackInfo TMainWindowControls::CurrentTrack() {
  TRadioCore& radio = window_.Radio();
  TrackInfo track;
  track.number = radio.Starts();
  track.path = radio.CurrentFile();
  track.station = radio.CurrentStation();
  if (track.path.empty() || track.path.back() == '/') {
    track.path.clear();
    return track;
  }
  try {
    TId3v2Tags& tags = radio.MP3In1().Id3v2Tags();
    track.title = tags.Title();
    track.artist = tags.Artist();
    track.album = tags.Album();
    track.genre = tags.Genre();
    track.length_us = static_cast<std::int64_t>(radio.MP3In1().DurationCs()) * 10000;
  } catch (const std::exception&) {
    // Nothing more is known of this file.
  }
  return track;
}

void TMainWindowControls::PressPauseButton() {
  window_.Form().btnPauseOrPlay->click();
}

bool TMainWindowControls::PauseButtonResumes() const {
  return window_.Radio().PauseCaption() != radio_texts::kPlayingCaption;
}

void TMainWindowControls::Skip() {
  Guarded([this] { window_.Radio().Skip(); })();
}

void TMainWindowControls::Raise() {
  Guarded([this] { window_.RestoreFromTray(); })();
}

void TMainWindowControls::Quit() {
  window_.Form().spSkinButton3->click();
}

void TMainWindowControls::SetOnChanged(std::function<void()> handler) {
  window_.Radio().SetOnChanged(std::move(handler));
}

}  // namespace kalvira::desktop
