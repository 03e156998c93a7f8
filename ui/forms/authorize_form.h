// TfrmAuthorize, "Авторизация в ZamraStore...": the login with an e-mail address and a
// password. A thin view of TLogin (online/login.h), which it owns with the flag
// LoginPending. A successful login gives the message window its nick and enables the
// cabinet's buttons. Created at start, shown modally by the cabinet and by the message
// window.
//
// Threads: the user-interface thread only.
#pragma once

#include <memory>

#include "online/login.h"
#include "ui/forms/form_errors.h"
#include "ui/skinned_form.h"

namespace Ui {
class TfrmAuthorize;
}

namespace kalvira {

class TfrmMessageSend;
class TfrmZamraStore;

class TfrmAuthorize : public ui::TSkinnedDialog {
  Q_OBJECT

 public:
  // Everything given must outlive the window. `dnvjhe` is the service's login query;
  // `report` gets a refused write of the remembered values.
  TfrmAuthorize(TMyQuery& dnvjhe, const TSettingsFiles& settings, IMessageBox& box,
                TfrmMessageSend& message_send, TfrmZamraStore& zamra_store, ErrorReporter report,
                QWidget* parent = nullptr);
  ~TfrmAuthorize() override;

  bool LoginPending() const { return login_.LoginPending(); }

  Ui::TfrmAuthorize& Form() { return *form_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void LoginToService();

  std::unique_ptr<Ui::TfrmAuthorize> form_;
  TLogin login_;
  TfrmMessageSend& message_send_;
  TfrmZamraStore& zamra_store_;
};

}  // namespace kalvira
