#include "ui/forms/authorize_form.h"

#include "ui/forms/message_send_form.h"
#include "ui/forms/zamra_store_form.h"
#include "ui_authorize_form.h"
#include "ui_message_send_form.h"

namespace kalvira {

TfrmAuthorize::TfrmAuthorize(TMyQuery& dnvjhe, const TSettingsFiles& settings, IMessageBox& box,
                             TfrmMessageSend& message_send, TfrmZamraStore& zamra_store,
                             ErrorReporter report, QWidget* parent)
    : ui::TSkinnedDialog(parent),
      form_(std::make_unique<Ui::TfrmAuthorize>()),
      login_(dnvjhe, settings, box),
      message_send_(message_send),
      zamra_store_(zamra_store) {
  setObjectName("frmAuthorize");
  form_->setupUi(ClientArea());
  SetClientSize(211, 165);
  SetCaption(ClientArea()->windowTitle());
  SetCaptionButtons(ui::kNoCaptionButtons);
  connect(form_->spSkinButton1, &QPushButton::clicked, this,
          Reported(std::move(report), [this](bool) { LoginToService(); }));
  connect(form_->spSkinButton2, &QPushButton::clicked, this, [this] { reject(); });
}

TfrmAuthorize::~TfrmAuthorize() = default;

void TfrmAuthorize::showEvent(QShowEvent* event) {
  ui::TSkinnedDialog::showEvent(event);
  const TLogin::Remembered remembered = login_.WindowShown();
  if (remembered.username)
    form_->editUsername->setText(QString::fromStdString(*remembered.username));
  if (remembered.password)
    form_->editPassword->setText(QString::fromStdString(*remembered.password));
}

void TfrmAuthorize::LoginToService() {
  const std::string email = form_->editUsername->text().toStdString();
  const std::string password = form_->editPassword->text().toStdString();
  login_.LoginToService(email, password, [&] {
    message_send_.Form().editNick->setText(QString::fromStdString(email));
    zamra_store_.EnableCabinetButtons();
    accept();
  });
}

}  // namespace kalvira
