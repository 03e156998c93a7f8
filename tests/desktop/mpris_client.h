// The tests' MPRIS client: a real QtDBus client on the private bus that reads the
// player's properties, calls its methods and records the PropertiesChanged signals.
// Calls are asynchronous and wait while processing events, so the player may live in
// the same process (its calls are answered by the same event loop) or in another one.
// Test thread only.
#pragma once

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <chrono>
#include <optional>
#include <vector>

#include "tests/support/qt_wait.h"
#include "tests/support/test_support.h"

namespace kalvira::testing {

inline const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
inline const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");

// A variant as it comes off the bus, with the nested maps and arrays taken apart.
inline QVariant Plain(const QVariant& value) {
  if (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
    return Plain(value.value<QDBusVariant>().variant());
  if (value.userType() == qMetaTypeId<QDBusArgument>()) {
    const QDBusArgument arg = value.value<QDBusArgument>();
    if (arg.currentType() == QDBusArgument::MapType) {
      QVariantMap map = qdbus_cast<QVariantMap>(arg);
      for (auto it = map.begin(); it != map.end(); ++it) it.value() = Plain(it.value());
      return map;
    }
    if (arg.currentType() == QDBusArgument::ArrayType) return qdbus_cast<QStringList>(arg);
  }
  return value;
}

class MprisClient : public QObject {
  Q_OBJECT

 public:
  MprisClient(QDBusConnection bus, QString service)
      : bus_(std::move(bus)), service_(std::move(service)) {
    bus_.connect(service_, QStringLiteral("/org/mpris/MediaPlayer2"),
                 QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("PropertiesChanged"), this,
                 SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
  }

  // The reply of a call, or nothing when none came within the deadline.
  std::optional<QDBusMessage> Call(const QString& interface, const QString& method,
                                   const QVariantList& args = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        service_, QStringLiteral("/org/mpris/MediaPlayer2"), interface, method);
    call.setArguments(args);
    QDBusPendingCall pending = bus_.asyncCall(call, 60000);
    const bool done = ProcessEventsUntil([&] { return pending.isFinished(); });
    if (!done) return std::nullopt;
    return pending.reply();
  }

  QVariant Get(const QString& interface, const QString& property) {
    const auto reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("Get"), {interface, property});
    if (!reply || reply->type() != QDBusMessage::ReplyMessage || reply->arguments().isEmpty())
      return {};
    return Plain(reply->arguments().front());
  }
  QString Status() { return Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(); }
  QVariantMap Metadata() { return Get(kPlayer, QStringLiteral("Metadata")).toMap(); }
  QString TrackId() {
    return Metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
  }

  // Waits, processing events, until `condition` holds.
  bool Until(const std::function<bool()>& condition,
             std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
    return ProcessEventsUntil(condition, deadline);
  }

  // Every player property change announced so far, oldest first.
  std::vector<QVariantMap> changes;

 private Q_SLOTS:
  void OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList&) {
    if (interface != kPlayer) return;
    QVariantMap plain;
    for (auto it = changed.begin(); it != changed.end(); ++it) plain[it.key()] = Plain(it.value());
    changes.push_back(plain);
  }

 private:
  QDBusConnection bus_;
  QString service_;
};

}  // namespace kalvira::testing
