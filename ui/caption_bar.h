// The caption bar of the skinned frames: the title at the left and, as chosen, the roll-up
// and minimise-to-tray buttons at the right. A press on the bar starts moving its window
// (see TSkinFrame).
//
// Skins style it as `#SkinCaption` (the bar), `#SkinCaptionTitle` (the title label) and
// `#SkinCaptionButton` (both buttons; `#SkinRollUpButton`, `#SkinTrayButton` each).
//
// Threads: the user-interface thread only. Owned by its frame.
#pragma once

#include <QFlags>
#include <QWidget>

class QLabel;
class QToolButton;

namespace kalvira::ui {

enum CaptionButton {
  kNoCaptionButtons = 0,
  kRollUp = 0x1,
  kMinimizeToTray = 0x2,
};
Q_DECLARE_FLAGS(CaptionButtons, CaptionButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(CaptionButtons)

class TCaptionBar : public QWidget {
  Q_OBJECT

 public:
  // The bar's height in pixels, whatever the skin says, so that client sizes stay exact.
  static constexpr int kHeight = 20;

  explicit TCaptionBar(QWidget* parent = nullptr);

  void SetCaption(const QString& caption);
  QString Caption() const;

  void SetButtons(CaptionButtons buttons);
  CaptionButtons Buttons() const { return buttons_; }
  // The roll-up button shows whether a click expands or collapses.
  void ShowRolledUp(bool rolled_up);

  // The buttons, for the frame's wiring and for tests.
  QToolButton* RollUpButton() const { return roll_up_; }
  QToolButton* TrayButton() const { return tray_; }

 signals:
  void RollUpClicked();
  void MinimizeToTrayClicked();
  // A left press on the bar (not on a button); `global` is the pointer's position.
  void Pressed(QPoint global);
  void Dragged(QPoint global);
  void Released(QPoint global);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QLabel* title_;
  QToolButton* roll_up_;
  QToolButton* tray_;
  CaptionButtons buttons_ = kNoCaptionButtons;
};

}  // namespace kalvira::ui
