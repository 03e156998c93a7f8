#include "ui/forms/chat_form.h"

#include "ui_chat_form.h"

namespace kalvira {

TfrmChat::TfrmChat(std::function<void()> show_message_send, QWidget* parent)
    : ui::TSkinnedDialog(parent),
      form_(std::make_unique<Ui::TfrmChat>()),
      show_message_send_(std::move(show_message_send)) {
  setObjectName("frmChat");
  setModal(false);
  form_->setupUi(ClientArea());
  SetClientSize(517, 328);
  SetCaption(ClientArea()->windowTitle());
  SetCaptionButtons(ui::kNoCaptionButtons);
  connect(form_->spSkinButton1, &QPushButton::clicked, this, [this] {
    if (show_message_send_) show_message_send_();
  });
  connect(form_->spSkinButton2, &QPushButton::clicked, this, [this] { hide(); });
}

TfrmChat::~TfrmChat() = default;

ui::THtmlLabel& TfrmChat::lblHTMLLAber() {
  return *form_->lblHTMLLAber;
}

void TfrmChat::ShowRoom() {
  show();
  raise();
  activateWindow();
}

}  // namespace kalvira
