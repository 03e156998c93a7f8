#include "desktop/mpris_service.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include "desktop/mpris_adaptors.h"

namespace kalvira::desktop {

namespace {

QString Q(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString StatusName(MediaState state) {
  switch (state) {
    case MediaState::kPlaying:
      return QStringLiteral("Playing");
    case MediaState::kPaused:
      return QStringLiteral("Paused");
    case MediaState::kStopped:
      break;
  }
  return QStringLiteral("Stopped");
}

}  // namespace

QVariantMap MetadataOf(const TrackInfo& track) {
  QVariantMap map;
  if (track.path.empty()) return map;
  map.insert(QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(
                 QStringLiteral("/org/example/kalvira/track/%1").arg(track.number))));
  const QString path = Q(track.path);
  map.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
  map.insert(QStringLiteral("xesam:title"),
             track.title.empty() ? QFileInfo(path).completeBaseName() : Q(track.title));
  if (!track.artist.empty())
    map.insert(QStringLiteral("xesam:artist"), QStringList{Q(track.artist)});
  if (!track.album.empty()) map.insert(QStringLiteral("xesam:album"), Q(track.album));
  if (!track.genre.empty()) map.insert(QStringLiteral("xesam:genre"), QStringList{Q(track.genre)});
  if (track.length_us > 0)
    map.insert(QStringLiteral("mpris:length"), QVariant::fromValue<qlonglong>(track.length_us));
  if (!track.station.empty()) map.insert(QStringLiteral("kalvira:station"), Q(track.station));
  return map;
}

TMprisService::TMprisService(IMediaControls& controls, QString desktop_entry, QObject* parent)
    : QObject(parent), controls_(controls), desktop_entry_(std::move(desktop_entry)) {
  new TMprisRootAdaptor(this);
  new TMprisPlayerAdaptor(this);
  controls_.SetOnChanged([this] { Changed(); });
}

TMprisService::~TMprisService() {
  controls_.SetOnChanged({});
  if (bus_) {
    bus_->unregisterObject(QString::fromUtf8(kMprisObjectPath));
    if (!service_name_.isEmpty()) bus_->unregisterService(service_name_);
  }
}

bool TMprisService::Register(QDBusConnection bus) {
  if (!bus.isConnected()) return false;
  if (!bus.registerObject(QString::fromUtf8(kMprisObjectPath), this,
                          QDBusConnection::ExportAdaptors)) {
    return false;
  }
  QString name = QString::fromUtf8(kMprisServiceName);
  if (!bus.registerService(name)) {
    name += QStringLiteral(".instance%1").arg(::getpid());
    if (!bus.registerService(name)) {
      bus.unregisterObject(QString::fromUtf8(kMprisObjectPath));
      return false;
    }
  }
  bus_ = bus;
  service_name_ = name;
  announced_status_ = PlaybackStatus();
  announced_metadata_ = Metadata();
  return true;
}

QString TMprisService::PlaybackStatus() const {
  return StatusName(controls_.State());
}

QVariantMap TMprisService::Metadata() {
  const std::uint64_t number = controls_.TrackNumber();
  if (!track_number_ || *track_number_ != number) {
    metadata_ = MetadataOf(controls_.CurrentTrack());
    track_number_ = number;
  }
  return metadata_;
}

void TMprisService::PlayPause() {
  if (controls_.State() == MediaState::kStopped) {
    Play();
  } else {
    controls_.PressPauseButton();
  }
}

void TMprisService::Play() {
  switch (controls_.State()) {
    case MediaState::kPaused:
      controls_.PressPauseButton();
      break;
    case MediaState::kStopped:
      controls_.Skip();
      // A press while nothing played left the caption at "resume"; the new track plays,
      // so one more press (a resume of a running track does nothing) puts it back.
      if (controls_.State() == MediaState::kPlaying && controls_.PauseButtonResumes())
        controls_.PressPauseButton();
      break;
    case MediaState::kPlaying:
      break;
  }
}

void TMprisService::Pause() {
  if (controls_.State() == MediaState::kPlaying) controls_.PressPauseButton();
}

void TMprisService::Stop() {
  Pause();
}

void TMprisService::Next() {
  const MediaState before = controls_.State();
  if (before == MediaState::kStopped) return;
  controls_.Skip();
  // The new run plays even when the old one was paused, while the caption still offers
  // to resume: the first press brings the caption back in step (resuming a running track
  // does nothing), the second pauses the new track, as a paused player stays paused.
  if (before == MediaState::kPaused && controls_.State() == MediaState::kPlaying) {
    if (controls_.PauseButtonResumes()) controls_.PressPauseButton();
    controls_.PressPauseButton();
  }
}

void TMprisService::Raise() {
  controls_.Raise();
}

// The process ends at once, like the close button; the caller gets its answer first.
// Messages leave a connection in order, so once a round trip to the bus has come back,
// the reply has been written.
void TMprisService::Quit(const QDBusMessage& call) {
  if (bus_) {
    call.setDelayedReply(true);
    bus_->send(call.createReply());
    bus_->interface()->call(QStringLiteral("GetId"));
  }
  controls_.Quit();
}

void TMprisService::Changed() {
  if (!bus_) return;
  QVariantMap changed;
  const QString status = PlaybackStatus();
  if (status != announced_status_) {
    changed.insert(QStringLiteral("PlaybackStatus"), status);
    announced_status_ = status;
  }
  const QVariantMap metadata = Metadata();
  if (metadata != announced_metadata_) {
    changed.insert(QStringLiteral("Metadata"), metadata);
    announced_metadata_ = metadata;
  }
  if (!changed.isEmpty()) Announce(changed);
}

void TMprisService::Announce(const QVariantMap& changed) {
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromUtf8(kMprisObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QString::fromUtf8(kMprisPlayerInterface) << changed << QStringList();
  bus_->send(signal);
}

TMprisRootAdaptor::TMprisRootAdaptor(TMprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

void TMprisRootAdaptor::Raise() {
  service_->Raise();
}

void TMprisRootAdaptor::Quit(const QDBusMessage& call) {
  service_->Quit(call);
}

TMprisPlayerAdaptor::TMprisPlayerAdaptor(TMprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

void TMprisPlayerAdaptor::Next() {
  service_->Next();
}
void TMprisPlayerAdaptor::Pause() {
  service_->Pause();
}
void TMprisPlayerAdaptor::PlayPause() {
  service_->PlayPause();
}
void TMprisPlayerAdaptor::Stop() {
  service_->Stop();
}
void TMprisPlayerAdaptor::Play() {
  service_->Play();
}
// Neither seeking nor opening other addresses belongs to a radio.
void TMprisPlayerAdaptor::Seek(qlonglong) {}
void TMprisPlayerAdaptor::SetPosition(const QDBusObjectPath&, qlonglong) {}
void TMprisPlayerAdaptor::OpenUri(const QString&) {}

}  // namespace kalvira::desktop
