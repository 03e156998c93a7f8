#include "ui/tray_icon.h"

#include <QSystemTrayIcon>

#include "ui/image_list.h"

namespace kalvira::ui {

TTrayIcon::TTrayIcon(QObject* parent) : QObject(parent), tray_(new QSystemTrayIcon(this)) {
  tray_->setIcon(TrayIcon());
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::DoubleClick) emit RestoreRequested();
  });
}

void TTrayIcon::SetHint(const QString& hint) {
  tray_->setToolTip(hint);
}

QString TTrayIcon::Hint() const {
  return tray_->toolTip();
}

void TTrayIcon::Refresh() {
  // Without a notification area QSystemTrayIcon only complains; there is nothing to show.
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_->hide();
  tray_->show();
}

void TTrayIcon::SetMenu(QMenu* menu) {
  tray_->setContextMenu(menu);
}

bool TTrayIcon::Shown() const {
  return tray_->isVisible();
}

}  // namespace kalvira::ui
