// A skinned group box: a frame with a caption. Skins style it as QGroupBox.
//
// Threads: the user-interface thread only.
#pragma once

#include <QGroupBox>

namespace kalvira::ui {

class TSkinGroupBox : public QGroupBox {
  Q_OBJECT

 public:
  explicit TSkinGroupBox(QWidget* parent = nullptr);
  explicit TSkinGroupBox(const QString& caption, QWidget* parent = nullptr);

  void SetCaption(const QString& caption) { setTitle(caption); }
  QString Caption() const { return title(); }
};

}  // namespace kalvira::ui
