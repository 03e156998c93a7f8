// The two D-Bus interfaces of the MPRIS service, as Qt adaptors on the service object:
// the root interface (identity, raise, quit) and the player (playback, metadata). They
// only forward to TMprisService (mpris_service.h); Qt answers property reads through
// org.freedesktop.DBus.Properties. Internal to the desktop library.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

#include "desktop/mpris_service.h"

namespace kalvira::desktop {

class TMprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool Fullscreen READ Fullscreen)
  Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit TMprisRootAdaptor(TMprisService* service);

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool Fullscreen() const { return false; }
  bool CanSetFullscreen() const { return false; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QString::fromUtf8(kIdentity); }
  QString DesktopEntry() const { return service_->DesktopEntry(); }
  QStringList SupportedUriSchemes() const { return {}; }
  QStringList SupportedMimeTypes() const { return {}; }

 public Q_SLOTS:
  void Raise();
  void Quit(const QDBusMessage& call);

 private:
  TMprisService* service_;
};

class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ Yes)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ Yes)
  Q_PROPERTY(bool CanPause READ Yes)
  Q_PROPERTY(bool CanSeek READ No)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  explicit TMprisPlayerAdaptor(TMprisService* service);

  QString PlaybackStatus() const { return service_->PlaybackStatus(); }
  QVariantMap Metadata() const { return service_->Metadata(); }
  double Rate() const { return 1.0; }
  double Volume() const { return 1.0; }
  qlonglong Position() const { return 0; }
  bool Yes() const { return true; }
  bool No() const { return false; }

 public Q_SLOTS:
  void Next();
  void Previous() {}
  void Pause();
  void PlayPause();
  void Stop();
  void Play();
  void Seek(qlonglong offset);
  void SetPosition(const QDBusObjectPath& track_id, qlonglong position);
  void OpenUri(const QString& uri);

 Q_SIGNALS:
  void Seeked(qlonglong position);

 private:
  TMprisService* service_;
};

}  // namespace kalvira::desktop
