// TfrmMessageSend, "Отправка сообщения": a short message to the radio under the nick a
// login set, with a key filter, a hidden mode and a 60-second wait after each send. A
// thin view of TMessageSend (online/message_send.h); the insert is the main window's.
// Created at start, shown modally by the main window and by the chat room.
//
// Threads: the user-interface thread only.
#pragma once

#include <QTimer>
#include <functional>
#include <memory>

#include "online/message_send.h"
#include "ui/skinned_form.h"

namespace Ui {
class TfrmMessageSend;
}

namespace kalvira {

class TfrmMessageSend : public ui::TSkinnedDialog {
  Q_OBJECT

 public:
  // `box` and `beeper` must outlive the window; `send` is SendChatMessage.
  TfrmMessageSend(IMessageBox& box, IBeeper& beeper, TMessageSend::SendFunction send,
                  QWidget* parent = nullptr);
  ~TfrmMessageSend() override;

  // The login window, opened by the small button beside the nick.
  void SetShowLogin(std::function<void()> show_login) { show_login_ = std::move(show_login); }

  Ui::TfrmMessageSend& Form() { return *form_; }
  TMessageSend& Logic() { return logic_; }
  QTimer& tmrMessageTime() { return tmrMessageTime_; }
  // One tick of tmrMessageTime (its timeout handler).
  void tmrMessageTimeTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void btnSendClick();
  void ShowButtonState();

  std::unique_ptr<Ui::TfrmMessageSend> form_;
  TMessageSend logic_;
  QTimer tmrMessageTime_;
  std::function<void()> show_login_;
};

}  // namespace kalvira
