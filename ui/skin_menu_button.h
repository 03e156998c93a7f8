// A skinned menu button: caption and picture side by side; a click drops down its menu
// (QToolButton::setMenu; the button does not own the menu). Usable as a promoted widget
// with the properties "picture" and "hint" as TSkinButton. Skins style it as QToolButton.
//
// Threads: the user-interface thread only.
#pragma once

#include <QToolButton>

namespace kalvira::ui {

class TSkinMenuButton : public QToolButton {
  Q_OBJECT
  Q_PROPERTY(int picture READ Picture WRITE SetPicture)
  Q_PROPERTY(QString hint READ Hint WRITE SetHint)

 public:
  explicit TSkinMenuButton(QWidget* parent = nullptr);

  void SetCaption(const QString& caption) { setText(caption); }
  QString Caption() const { return text(); }
  void SetPicture(int index);
  int Picture() const { return picture_; }
  void SetHint(const QString& hint);
  QString Hint() const { return hint_; }

 private:
  int picture_ = 0;
  QString hint_;
};

}  // namespace kalvira::ui
