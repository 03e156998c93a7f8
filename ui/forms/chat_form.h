// TfrmChat, "Чат комната": the chat feed's lines in a window of their own, with a button
// that opens the message window and one that hides the room. The main window fills its
// label at every fetch, also while it is hidden. Created at start, shown without being
// modal by a click on the main window's chat label.
//
// Threads: the user-interface thread only.
#pragma once

#include <functional>
#include <memory>

#include "ui/html_label.h"
#include "ui/skinned_form.h"

namespace Ui {
class TfrmChat;
}

namespace kalvira {

class TfrmChat : public ui::TSkinnedDialog {
  Q_OBJECT

 public:
  // `show_message_send` shows the message window modally.
  explicit TfrmChat(std::function<void()> show_message_send, QWidget* parent = nullptr);
  ~TfrmChat() override;

  ui::THtmlLabel& lblHTMLLAber();
  // Shows the room, or brings it to the front when it is shown already.
  void ShowRoom();

  Ui::TfrmChat& Form() { return *form_; }

 private:
  std::unique_ptr<Ui::TfrmChat> form_;
  std::function<void()> show_message_send_;
};

}  // namespace kalvira
