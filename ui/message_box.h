// The program's modal message box on a skinned dialog: the kind's caption and icon (or the
// request's caption and image-list picture), the text (plain; LF CR breaks a line) and a
// pair of buttons. What it shows is decided by MakeMessageBoxView (ui/message_box_model.h).
//
// Threads: the user-interface thread only. Show() runs a nested event loop until a button
// or Escape closes the box.
#pragma once

#include "platform/desktop_services.h"

class QWidget;

namespace kalvira::ui {

class TSkinnedMessageBox : public kalvira::IMessageBox {
 public:
  // `parent` (may be null) is the window the box is centred over and modal to.
  explicit TSkinnedMessageBox(QWidget* parent = nullptr);

  MessageResult Show(const MessageBoxRequest& request) override;

 private:
  QWidget* parent_;
};

}  // namespace kalvira::ui
