// A skinned push button: a caption, an optional picture of the image list and a hint.
// Usable as a promoted widget in .ui files; there the picture and the hint are the
// properties "picture" (int) and "hint" (string), written with stdset="0" so that uic sets
// them through the property system. Skins style it as QPushButton (or
// `kalvira--ui--TSkinButton`).
//
// Threads: the user-interface thread only.
#pragma once

#include <QPushButton>

namespace kalvira::ui {

class TSkinButton : public QPushButton {
  Q_OBJECT
  Q_PROPERTY(int picture READ Picture WRITE SetPicture)
  Q_PROPERTY(QString hint READ Hint WRITE SetHint)

 public:
  explicit TSkinButton(QWidget* parent = nullptr);
  explicit TSkinButton(const QString& caption, QWidget* parent = nullptr);

  void SetCaption(const QString& caption) { setText(caption); }
  QString Caption() const { return text(); }

  // An image-list index 1 to 10; 0 (or any other value) shows no picture.
  void SetPicture(int index);
  int Picture() const { return picture_; }

  // The hint with the title "Справка" (ui/hint.h).
  void SetHint(const QString& hint);
  QString Hint() const { return hint_; }

 private:
  int picture_ = 0;
  QString hint_;
};

}  // namespace kalvira::ui
