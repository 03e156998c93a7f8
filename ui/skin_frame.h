// The skinned frame shared by TSkinnedForm and TSkinnedDialog: a border, the caption bar
// and the client area inside a frameless top-level window, and what the frame does
// (moving with the platform's window move, snapping to the screen edges, roll-up, the
// animated opacity). Internal to ui/: the two window classes forward to it.
//
// Layout, outside in: the window → `#SkinFrame` (the border, kBorder pixels wide, its
// background is the border's colour) → `#SkinCaption` (TCaptionBar::kHeight) above
// `#SkinClientArea` (exactly the client size). Sizes never depend on the skin.
//
// Threads: the user-interface thread only. Owned by (a child of) its window.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>

#include "ui/caption_bar.h"

class QFrame;
class QPropertyAnimation;
class QTimer;

namespace kalvira::ui {

class TSkinFrame : public QObject {
  Q_OBJECT

 public:
  static constexpr int kBorder = 2;
  static constexpr int kOpacityAnimationMs = 150;
  static constexpr int kSnapDistance = 10;

  // Builds the frame inside `window` (which must be a top-level widget without a layout).
  explicit TSkinFrame(QWidget* window);

  QWidget* ClientArea() const { return client_; }
  TCaptionBar* CaptionBar() const { return caption_; }

  void SetClientSize(int width, int height);
  QSize ClientSize() const { return client_size_; }

  void SetRolledUp(bool rolled_up);
  bool RolledUp() const { return rolled_up_; }

  void SetAlphaBlend(bool on);
  bool AlphaBlend() const { return alpha_blend_; }
  void SetAlphaBlendValue(int value);
  int AlphaBlendValue() const { return alpha_value_; }

  // Moves the window onto the screen edges it is close to.
  void SnapNow();

 signals:
  void RolledUpChanged(bool rolled_up);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateFixedSize();
  void AnimateOpacity(double target);
  void OnPressed(QPoint global);
  void OnDragged(QPoint global);
  void OnReleased(QPoint global);

  QWidget* window_;
  QFrame* frame_;
  TCaptionBar* caption_;
  QWidget* client_;
  QPropertyAnimation* opacity_;
  // Restarted by every move while the platform moves the window; when it fires, the move
  // has ended and the window snaps.
  QTimer* system_move_end_;

  QSize client_size_;
  bool rolled_up_ = false;
  bool alpha_blend_ = false;
  int alpha_value_ = 255;
  bool system_move_ = false;
  bool manual_move_ = false;
  QPoint drag_offset_;
};

}  // namespace kalvira::ui
