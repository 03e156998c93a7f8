#include "ui/html_label.h"

#include <QMouseEvent>

#include "ui/rich_text.h"

namespace kalvira::ui {

THtmlLabel::THtmlLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::RichText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setWordWrap(true);
  setTextInteractionFlags(Qt::NoTextInteraction);
  setOpenExternalLinks(false);
}

void THtmlLabel::Clear() {
  lines_.clear();
  Render();
}

void THtmlLabel::Append(const QString& line) {
  lines_.append(line);
  Render();
}

void THtmlLabel::Render() {
  setText(HtmlSubsetToRichText(lines_.join(QString())));
  update();
}

void THtmlLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void THtmlLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (click) emit clicked();
}

}  // namespace kalvira::ui
