// TMainWindowControls: the main window as a desktop media control sees it
// (media_controls.h). The commands go through the window's own buttons where it has
// them, so a media key does exactly what a click does: the pause button (its caption
// included) and the close button; a skip is the radio core's, raising is the tray's
// restore. Errors reach the general error report, as a click's do.
//
// Ownership: refers to the window, which must outlive it. Threads: the user-interface
// thread only.
#pragma once

#include "app/main_window.h"
#include "desktop/media_controls.h"

namespace kalvira::desktop {

class TMainWindowControls : public IMediaControls {
 public:
  explicit TMainWindowControls(TfrmKalviraMain& window) : window_(window) {}

  MediaState State() const override;
  TrackInfo CurrentTrack() override;
  std::uint64_t TrackNumber() const override { return window_.Radio().Starts(); }
  void PressPauseButton() override;
  bool PauseButtonResumes() const override;
  void Skip() override;
  void Raise() override;
  void Quit() override;
  void SetOnChanged(std::function<void()> handler) override;

 private:
  TfrmKalviraMain& window_;
};

}  // namespace kalvira::desktop
