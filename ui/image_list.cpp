#include "ui/image_list.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace kalvira::ui {
namespace {

QString ImageListResource(int index) {
  return QStringLiteral(":/kalvira/images/%1.svg").arg(index, 2, 10, QLatin1Char('0'));
}

// Renders the SVG at `size` device-independent pixels, sharp on high-density screens.
QPixmap Render(const QString& resource, int size) {
  QSvgRenderer renderer(resource);
  if (!renderer.isValid() || size <= 0) return {};
  const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  painter.end();
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

QIcon MakeIcon(const QString& resource) {
  QIcon icon;
  for (int size : {16, 20, 24, 32, 48, 64}) {
    QPixmap pixmap = Render(resource, size);
    if (pixmap.isNull()) return {};
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QIcon ImageListIcon(int index) {
  if (!IsImageListIndex(index)) return {};
  return MakeIcon(ImageListResource(index));
}

QPixmap ImageListPixmap(int index, int size) {
  if (!IsImageListIndex(index)) return {};
  return Render(ImageListResource(index), size);
}

QIcon ProgramIcon() {
  return MakeIcon(QStringLiteral(":/kalvira/images/program.svg"));
}

QIcon TrayIcon() {
  return MakeIcon(QStringLiteral(":/kalvira/images/tray.svg"));
}

QPixmap MessageKindPixmap(MessageKind kind, int size) {
  switch (kind) {
    case MessageKind::kInformation:
      return Render(QStringLiteral(":/kalvira/images/information.svg"), size);
    case MessageKind::kWarning:
      return Render(QStringLiteral(":/kalvira/images/warning.svg"), size);
    case MessageKind::kError:
      return Render(QStringLiteral(":/kalvira/images/error.svg"), size);
  }
  return {};
}

}  // namespace kalvira::ui
