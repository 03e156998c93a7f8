// The HTML subset (ui/html_subset.h) for QString callers.
#pragma once

#include <QString>

#include "ui/html_subset.h"

namespace kalvira::ui {

inline QString HtmlSubsetToRichText(const QString& text) {
  return QString::fromStdString(HtmlSubsetToRichText(text.toStdString()));
}

}  // namespace kalvira::ui
