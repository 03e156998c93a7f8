#include "ui/gauge.h"

#include <algorithm>

namespace kalvira::ui {

int GaugePercent(int value, int max) {
  if (max <= 0) return 0;
  const long long clamped = std::clamp(value, 0, max);
  return static_cast<int>(clamped * 100 / max);
}

TGauge::TGauge(QWidget* parent) : QProgressBar(parent) {
  setRange(0, max_);
  setValue(0);
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
}

void TGauge::SetMaxValue(int max) {
  max_ = std::max(0, max);
  value_ = std::clamp(value_, 0, max_);
  // A range of 0..0 would turn the bar into a busy indicator.
  setRange(0, std::max(1, max_));
  setValue(value_);
}

void TGauge::SetValue(int value) {
  value_ = std::clamp(value, 0, max_);
  setValue(value_);
  update();
}

QString TGauge::text() const {
  return QString::number(Percent()) + QStringLiteral("%");
}

}  // namespace kalvira::ui
