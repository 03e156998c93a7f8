// The alert pop-up: one message slot shown as a small window (300 × 40) at the bottom
// right of the primary screen's available area, above every other window, that never
// takes the keyboard focus and hides itself 500 ms after it was shown (showing it again
// starts the 500 ms anew). No buttons. The text is in the HTML subset
// (ui/html_subset.h). Skins style it as `#AlertWindow` and its label `#AlertText`.
//
// Threads: the user-interface thread only.
#pragma once

#include <QTimer>
#include <QWidget>

#include "platform/desktop_services.h"

class QLabel;

namespace kalvira::ui {

class TAlertWindow : public QWidget, public kalvira::IAlertPopup {
  Q_OBJECT

 public:
  static constexpr int kWidth = 300;
  static constexpr int kHeight = 40;
  static constexpr int kShowMs = 500;

  explicit TAlertWindow(QWidget* parent = nullptr);

  void SetText(const std::string& html) override;
  void Show() override;

  // The rich text shown (the converter's output), for tests.
  QString RenderedText() const;
  // Where Show() puts the window on the primary screen.
  static QRect PlaceOnScreen(const QRect& available);

 private:
  QLabel* label_;
  QTimer hide_timer_;
};

}  // namespace kalvira::ui
