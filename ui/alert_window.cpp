#include "ui/alert_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/rich_text.h"

namespace kalvira::ui {

TAlertWindow::TAlertWindow(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      label_(new QLabel(this)) {
  setObjectName("AlertWindow");
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_StyledBackground);
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(kWidth, kHeight);
  label_->setObjectName("AlertText");
  label_->setTextFormat(Qt::RichText);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 2, 8, 2);
  layout->addWidget(label_);

  hide_timer_.setSingleShot(true);
  hide_timer_.setInterval(kShowMs);
  connect(&hide_timer_, &QTimer::timeout, this, &QWidget::hide);
}

void TAlertWindow::SetText(const std::string& html) {
  label_->setText(QString::fromStdString(HtmlSubsetToRichText(std::string_view(html))));
}

QString TAlertWindow::RenderedText() const {
  return label_->text();
}

QRect TAlertWindow::PlaceOnScreen(const QRect& available) {
  return {available.x() + available.width() - kWidth, available.y() + available.height() - kHeight,
          kWidth, kHeight};
}

void TAlertWindow::Show() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    setGeometry(PlaceOnScreen(screen->availableGeometry()));
  }
  show();
  raise();
  hide_timer_.start();
}

}  // namespace kalvira::ui
