#include "ui/hint.h"

#include <QStringList>
#include <QWidget>

namespace kalvira::ui {

QString HintText(const QString& hint, const QString& title) {
  QStringList lines;
  for (const QString& line : hint.split(QLatin1Char('@'))) lines << line.toHtmlEscaped();
  // white-space:pre keeps the hint's own blanks and stops the tooltip from wrapping lines
  // the hint did not break.
  return QStringLiteral("<p style=\"white-space:pre\"><b>") + title.toHtmlEscaped() +
         QStringLiteral("</b><br>") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

void SetHint(QWidget* widget, const QString& hint, const QString& title) {
  widget->setToolTip(hint.isEmpty() ? QString() : HintText(hint, title));
}

}  // namespace kalvira::ui
