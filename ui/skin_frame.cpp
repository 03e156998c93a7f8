#include "ui/skin_frame.h"

#include <QEvent>
#include <QFrame>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "ui/snap_to_edges.h"

namespace kalvira::ui {

TSkinFrame::TSkinFrame(QWidget* window)
    : QObject(window),
      window_(window),
      frame_(new QFrame(window)),
      caption_(new TCaptionBar(frame_)),
      client_(new QWidget(frame_)),
      opacity_(new QPropertyAnimation(window, "windowOpacity", this)),
      system_move_end_(new QTimer(this)) {
  frame_->setObjectName("SkinFrame");
  frame_->setAttribute(Qt::WA_StyledBackground);
  client_->setObjectName("SkinClientArea");
  client_->setAttribute(Qt::WA_StyledBackground);

  auto* outer = new QVBoxLayout(window);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(frame_);
  auto* inner = new QVBoxLayout(frame_);
  inner->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
  inner->setSpacing(0);
  inner->addWidget(caption_);
  inner->addWidget(client_);
  inner->addStretch(0);

  opacity_->setDuration(kOpacityAnimationMs);
  system_move_end_->setSingleShot(true);
  system_move_end_->setInterval(250);
  connect(system_move_end_, &QTimer::timeout, this, [this] {
    system_move_ = false;
    SnapNow();
  });

  connect(caption_, &TCaptionBar::RollUpClicked, this, [this] { SetRolledUp(!rolled_up_); });
  connect(caption_, &TCaptionBar::Pressed, this, &TSkinFrame::OnPressed);
  connect(caption_, &TCaptionBar::Dragged, this, &TSkinFrame::OnDragged);
  connect(caption_, &TCaptionBar::Released, this, &TSkinFrame::OnReleased);
  window_->installEventFilter(this);
  SetClientSize(200, 100);
}

void TSkinFrame::SetClientSize(int width, int height) {
  client_size_ = QSize(std::max(0, width), std::max(0, height));
  client_->setFixedSize(client_size_);
  UpdateFixedSize();
}

void TSkinFrame::SetRolledUp(bool rolled_up) {
  if (rolled_up == rolled_up_) return;
  rolled_up_ = rolled_up;
  client_->setVisible(!rolled_up_);
  caption_->ShowRolledUp(rolled_up_);
  UpdateFixedSize();
  emit RolledUpChanged(rolled_up_);
}

void TSkinFrame::UpdateFixedSize() {
  const int height = TCaptionBar::kHeight + (rolled_up_ ? 0 : client_size_.height());
  window_->setFixedSize(client_size_.width() + 2 * kBorder, height + 2 * kBorder);
}

void TSkinFrame::SetAlphaBlend(bool on) {
  alpha_blend_ = on;
  AnimateOpacity(on ? alpha_value_ / 255.0 : 1.0);
}

void TSkinFrame::SetAlphaBlendValue(int value) {
  alpha_value_ = std::clamp(value, 0, 255);
  if (alpha_blend_) AnimateOpacity(alpha_value_ / 255.0);
}

void TSkinFrame::AnimateOpacity(double target) {
  opacity_->stop();
  if (!window_->isVisible()) {
    window_->setWindowOpacity(target);
    return;
  }
  opacity_->setStartValue(window_->windowOpacity());
  opacity_->setEndValue(target);
  opacity_->start();
}

void TSkinFrame::SnapNow() {
  QScreen* screen = window_->screen();
  if (!screen) return;
  const QRect frame = window_->frameGeometry();
  const QPoint snapped = SnapToEdges(frame, screen->availableGeometry(), kSnapDistance);
  if (snapped != frame.topLeft()) window_->move(window_->pos() + (snapped - frame.topLeft()));
}

void TSkinFrame::OnPressed(QPoint global) {
  drag_offset_ = global - window_->frameGeometry().topLeft();
  manual_move_ = false;
  QWindow* handle = window_->windowHandle();
  if (handle && handle->startSystemMove()) {
    system_move_ = true;
    system_move_end_->start();
    return;
  }
  // The platform cannot move the window for us (offscreen, some X11 window managers).
  manual_move_ = true;
}

void TSkinFrame::OnDragged(QPoint global) {
  if (!manual_move_) return;
  window_->move(window_->pos() + (global - drag_offset_ - window_->frameGeometry().topLeft()));
}

void TSkinFrame::OnReleased(QPoint) {
  if (!manual_move_) return;
  manual_move_ = false;
  SnapNow();
}

bool TSkinFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Move && system_move_) {
    system_move_end_->start();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kalvira::ui
