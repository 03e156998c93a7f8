// What a desktop media control (the MPRIS service, mpris_service.h) needs of the radio:
// its playback state, the file it plays with that file's tags, and the commands the
// listener would give with the window's buttons. TMainWindowControls
// (main_window_controls.h) answers it for the program's main window; tests answer it
// with fakes.
//
// Threads: the user-interface thread only, for every call and for the change handler.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kalvira::desktop {

enum class MediaState { kStopped, kPlaying, kPaused };

// The file being played, as far as its tags tell. Texts are UTF-8; an empty text or a
// zero length means "not known".
struct TrackInfo {
  std::uint64_t number = 0;  // counts the runs: a new number is a new track
  std::string path;          // absolute; empty before anything was given to the chain
  std::string title;
  std::string artist;
  std::string album;
  std::string genre;
  std::int64_t length_us = 0;
  std::string station;  // the station code: "ALLFM", "POP", ...
};

class IMediaControls {
 public:
  virtual ~IMediaControls() = default;

  virtual MediaState State() const = 0;
  // The current track; may read the file's tags, so call it when the number changed.
  virtual TrackInfo CurrentTrack() = 0;
  // Tells one track from the next without reading anything.
  virtual std::uint64_t TrackNumber() const = 0;

  // A press of the pause button, with everything the button does (its caption too).
  virtual void PressPauseButton() = 0;
  // True while the pause button's caption says that a press resumes.
  virtual bool PauseButtonResumes() const = 0;
  // A new random track of the current station replaces the one playing.
  virtual void Skip() = 0;
  // Shows the window (from the tray too) and brings it to the front.
  virtual void Raise() = 0;
  // What the close button of the tool bar does: the process ends.
  virtual void Quit() = 0;

  // `handler` runs after every change of the track or of the state.
  virtual void SetOnChanged(std::function<void()> handler) = 0;
};

}  // namespace kalvira::desktop
