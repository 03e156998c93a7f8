// TfrmFilename, "Композиция, которая сейчас звучит": shows the full path of the file the
// radio holds and opens its folder in the file manager, from where the listener copies
// the file; the program copies nothing. Shown modally by the main window.
//
// Threads: the user-interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/desktop_services.h"
#include "ui/skinned_form.h"

namespace Ui {
class TfrmFilename;
}

namespace kalvira {

class TfrmFilename : public ui::TSkinnedDialog {
  Q_OBJECT

 public:
  // `current_file` gives the radio's current file (FileName of MP3In1) at every show.
  TfrmFilename(IShell& shell, std::function<std::string()> current_file, QWidget* parent = nullptr);
  ~TfrmFilename() override;

  Ui::TfrmFilename& Form() { return *form_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void spSkinButton1Click();

  std::unique_ptr<Ui::TfrmFilename> form_;
  IShell& shell_;
  std::function<std::string()> current_file_;
};

}  // namespace kalvira
