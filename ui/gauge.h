// A progress gauge with a maximum, a value and the percentage of value to maximum shown on
// it. A maximum of 0 or less shows 0 % (not the toolkit's busy indicator); a value is
// held within 0 and the maximum. Skins style it as QProgressBar.
//
// Threads: the user-interface thread only.
#pragma once

#include <QProgressBar>

namespace kalvira::ui {

// The whole percentage shown for `value` of `max` (rounded down; 0 when max <= 0).
int GaugePercent(int value, int max);

class TGauge : public QProgressBar {
  Q_OBJECT

 public:
  explicit TGauge(QWidget* parent = nullptr);

  void SetMaxValue(int max);
  int MaxValue() const { return max_; }
  void SetValue(int value);
  int Value() const { return value_; }
  int Percent() const { return GaugePercent(value_, max_); }

  QString text() const override;

 private:
  int max_ = 100;
  int value_ = 0;
};

}  // namespace kalvira::ui
