// TMprisService: the radio on the desktop's session bus as an MPRIS2 media player
// (org.mpris.MediaPlayer2.kalvira at /org/mpris/MediaPlayer2), so media keys, the
// desktop's media controls and playerctl drive it. The two interfaces (the root and the
// player, mpris_adaptors.h) forward here; this class holds what a command means for a
// radio:
//
//   PlayPause  the pause button (a stopped radio starts, as Play)
//   Play       resumes a paused radio; a stopped one draws a track
//   Pause      pauses a playing radio; Stop does the same (a radio keeps its place)
//   Next       a new track of the current station; a paused radio stays paused on it,
//              a stopped one stays stopped
//   Raise      shows the window, from the tray too
//   Quit       answers the caller, then acts like the close button
//
// PlaybackStatus follows the chain and Metadata the current file; PropertiesChanged goes
// out whenever either of them changes. Previous, Seek, SetPosition and OpenUri do nothing
// (CanGoPrevious and CanSeek are false).
//
// Ownership: the service refers to the controls, which must outlive it; it owns its
// adaptors. Threads: the user-interface thread; the bus delivers calls there.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "desktop/media_controls.h"

namespace kalvira::desktop {

inline constexpr const char* kMprisServiceName = "org.mpris.MediaPlayer2.kalvira";
inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisPlayerInterface = "org.mpris.MediaPlayer2.Player";
inline constexpr const char* kIdentity = "Kalvira";

class TMprisService : public QObject {
  Q_OBJECT

 public:
  // `desktop_entry` is the desktop entry's id without ".desktop".
  TMprisService(IMediaControls& controls, QString desktop_entry, QObject* parent = nullptr);
  ~TMprisService() override;

  // Puts the player on `bus`. Without a connected bus nothing is registered and false is
  // returned, quietly: a desktop without a session bus has no media controls. When the
  // name is taken by another copy of the program, this copy takes the name with
  // ".instance<pid>" appended, as the media player convention has it.
  bool Register(QDBusConnection bus);
  // The name held on the bus; empty while unregistered.
  const QString& ServiceName() const { return service_name_; }

  // The commands of the player and root interfaces.
  void PlayPause();
  void Play();
  void Pause();
  void Stop();
  void Next();
  void Raise();
  void Quit(const QDBusMessage& call);

  QString PlaybackStatus() const;
  QVariantMap Metadata();
  const QString& DesktopEntry() const { return desktop_entry_; }

 private:
  // After a change: re-reads the track when its number moved and tells the bus what
  // differs from the last announcement.
  void Changed();
  void Announce(const QVariantMap& changed);

  IMediaControls& controls_;
  const QString desktop_entry_;
  std::optional<QDBusConnection> bus_;
  QString service_name_;
  std::optional<std::uint64_t> track_number_;  // of metadata_
  QVariantMap metadata_;
  QString announced_status_;
  QVariantMap announced_metadata_;
};

// Builds the Metadata map of `track`: mpris:trackid (a path of this program's own, one
// per run), xesam:url, xesam:title (the file's name when the tag has none), xesam:artist,
// xesam:album, xesam:genre and mpris:length where known, and kalvira:station. Empty for
// a track without a path.
QVariantMap MetadataOf(const TrackInfo& track);

}  // namespace kalvira::desktop
