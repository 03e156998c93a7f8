// The program's icon in the notification area: the tray icon artwork, a hint, the station
// menu as its context menu, and RestoreRequested() on a double click. On a desktop without
// a notification area (or under the offscreen platform) every call still works and does
// nothing visible; Refresh() shows the icon once a tray has appeared.
//
// Threads: the user-interface thread only.
#pragma once

#include <QObject>

class QMenu;
class QSystemTrayIcon;

namespace kalvira::ui {

class TTrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit TTrayIcon(QObject* parent = nullptr);

  void SetHint(const QString& hint);
  QString Hint() const;
  // Shows the icon (again) in the notification area, where there is one.
  void Refresh();
  // The menu stays owned by the caller and must outlive the icon's use of it.
  void SetMenu(QMenu* menu);
  // Whether the icon is shown in a notification area now.
  bool Shown() const;

 signals:
  void RestoreRequested();

 private:
  QSystemTrayIcon* tray_;
};

}  // namespace kalvira::ui
