#include "ui/caption_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

namespace kalvira::ui {
namespace {

QToolButton* MakeButton(const QString& name, const QString& glyph, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setProperty("skinCaptionButton", true);
  button->setText(glyph);
  button->setFixedSize(TCaptionBar::kHeight - 4, TCaptionBar::kHeight - 4);
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoRaise(true);
  button->hide();
  return button;
}

}  // namespace

TCaptionBar::TCaptionBar(QWidget* parent)
    : QWidget(parent),
      title_(new QLabel(this)),
      roll_up_(MakeButton("SkinRollUpButton", QString::fromUtf8("\u25B4"), this)),
      tray_(MakeButton("SkinTrayButton", QString::fromUtf8("\u2581"), this)) {
  setObjectName("SkinCaption");
  setAttribute(Qt::WA_StyledBackground);
  setFixedHeight(kHeight);
  title_->setObjectName("SkinCaptionTitle");
  title_->setTextFormat(Qt::PlainText);
  title_->setAttribute(Qt::WA_TransparentForMouseEvents);
  roll_up_->setToolTip(QString::fromUtf8("Свернуть в заголовок"));
  tray_->setToolTip(QString::fromUtf8("Свернуть в трей"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 0, 2, 0);
  layout->setSpacing(2);
  layout->addWidget(title_, 1);
  layout->addWidget(roll_up_);
  layout->addWidget(tray_);

  connect(roll_up_, &QToolButton::clicked, this, &TCaptionBar::RollUpClicked);
  connect(tray_, &QToolButton::clicked, this, &TCaptionBar::MinimizeToTrayClicked);
}

void TCaptionBar::SetCaption(const QString& caption) {
  title_->setText(caption);
}

QString TCaptionBar::Caption() const {
  return title_->text();
}

void TCaptionBar::SetButtons(CaptionButtons buttons) {
  buttons_ = buttons;
  roll_up_->setVisible(buttons.testFlag(kRollUp));
  tray_->setVisible(buttons.testFlag(kMinimizeToTray));
}

void TCaptionBar::ShowRolledUp(bool rolled_up) {
  roll_up_->setText(rolled_up ? QString::fromUtf8("\u25BE") : QString::fromUtf8("\u25B4"));
}

void TCaptionBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit Pressed(event->globalPosition().toPoint());
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void TCaptionBar::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    emit Dragged(event->globalPosition().toPoint());
    event->accept();
    return;
  }
  QWidget::mouseMoveEvent(event);
}

void TCaptionBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit Released(event->globalPosition().toPoint());
    event->accept();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

}  // namespace kalvira::ui
