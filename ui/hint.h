// Hints (tooltips) of the program's controls: a bold title, then the hint's text, where
// every "@" breaks the line. The text is shown exactly as written (no markup acts; blanks
// are kept).
//
// Threads: the user-interface thread only.
#pragma once

#include <QString>

class QWidget;

namespace kalvira::ui {

inline constexpr char kHintTitle[] = "Справка";

// The tooltip's rich text for `hint` under `title`.
QString HintText(const QString& hint, const QString& title);
inline QString HintText(const QString& hint) {
  return HintText(hint, QString::fromUtf8(kHintTitle));
}

// Sets HintText as the widget's tooltip; an empty hint removes the tooltip.
void SetHint(QWidget* widget, const QString& hint, const QString& title);
inline void SetHint(QWidget* widget, const QString& hint) {
  SetHint(widget, hint, QString::fromUtf8(kHintTitle));
}

}  // namespace kalvira::ui
