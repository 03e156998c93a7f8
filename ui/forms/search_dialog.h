// TfrmSearchDialog, " Поиск музыки": the window shown while the music scan searches the
// drives. Label3 greets a first run ("Поздравляем, вы успешно установили  программу") or
// says "Поиск новой музыки..." for a search; bprStatus counts the files found so far;
// lblVC "Ждите..." blinks, its visibility flipped by tmrVisible every 750 ms, always.
// Not modal, without caption buttons, centred on the screen when shown. The scan drives
// it through TScanWindows (scan_windows.h).
//
// Threads: the user-interface thread only.
#pragma once

#include <QTimer>
#include <memory>

#include "ui/skinned_form.h"

namespace Ui {
class TfrmSearchDialog;
}

namespace kalvira {

class TfrmSearchDialog : public ui::TSkinnedForm {
  Q_OBJECT

 public:
  static constexpr int kBlinkInterval = 750;

  explicit TfrmSearchDialog(QWidget* parent = nullptr);
  ~TfrmSearchDialog() override;

  Ui::TfrmSearchDialog& Form() { return *form_; }
  QTimer& tmrVisible() { return tmrVisible_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void tmrVisibleTimer();

  std::unique_ptr<Ui::TfrmSearchDialog> form_;
  QTimer tmrVisible_;
};

// Moves `window` to the centre of the available area of its screen.
void CentreOnScreen(QWidget& window);

}  // namespace kalvira
