#include "ui/desktop_shell.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace kalvira::ui {
namespace {

constexpr char kFileManagerService[] = "org.freedesktop.FileManager1";
constexpr char kFileManagerPath[] = "/org/freedesktop/FileManager1";

bool FileManagerOnBus(QDBusConnection& bus) {
  if (!bus.isConnected() || !bus.interface()) return false;
  const QString service = QString::fromLatin1(kFileManagerService);
  if (bus.interface()->isServiceRegistered(service).value()) return true;
  // A file manager that the bus starts on demand is as good as a running one.
  const QDBusReply<QStringList> activatable = bus.interface()->call("ListActivatableNames");
  return activatable.isValid() && activatable.value().contains(service);
}

}  // namespace

void TDesktopShell::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(url)));
}

void TDesktopShell::OpenFolder(const std::string& folder, const std::string& item) {
  const QString item_path = QString::fromStdString(item);
  if (!item.empty() && QFileInfo::exists(item_path)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (FileManagerOnBus(bus)) {
      QDBusMessage call = QDBusMessage::createMethodCall(kFileManagerService, kFileManagerPath,
                                                         kFileManagerService, "ShowItems");
      call << QStringList{QUrl::fromLocalFile(QFileInfo(item_path).absoluteFilePath()).toString()}
           << QString();
      if (bus.send(call)) return;
    }
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

}  // namespace kalvira::ui
