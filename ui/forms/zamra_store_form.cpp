#include "ui/forms/zamra_store_form.h"

#include "online/online_texts.h"
#include "ui/forms/addons_util_form.h"
#include "ui/forms/authorize_form.h"
#include "ui_zamra_store_form.h"

namespace kalvira {

TfrmZamraStore::TfrmZamraStore(IMessageBox& box, QWidget* parent)
    : ui::TSkinnedDialog(parent), form_(std::make_unique<Ui::TfrmZamraStore>()), box_(box) {
  setObjectName("frmZamraStore");
  form_->setupUi(ClientArea());
  SetClientSize(482, 272);
  SetCaption(ClientArea()->windowTitle());
  SetCaptionButtons(ui::kNoCaptionButtons);
  connect(form_->spSkinButton1, &QPushButton::clicked, this, [this] {
    if (authorize_ != nullptr) authorize_->exec();
  });
  connect(form_->btnS1, &QPushButton::clicked, this, [this] { btnS1Click(); });
  connect(form_->spSkinButton3, &QPushButton::clicked, this, [this] { accept(); });
}

TfrmZamraStore::~TfrmZamraStore() = default;

void TfrmZamraStore::AttachWindows(TfrmAuthorize* authorize, TfrmAddonsUtil* addons_util) {
  authorize_ = authorize;
  addons_util_ = addons_util;
}

void TfrmZamraStore::EnableCabinetButtons() {
  for (QWidget* button : {form_->btnS1, form_->btnS2, form_->btnS3, form_->btnS4})
    button->setEnabled(true);
}

// A login window opened and not completed since the last successful login locks the
// list until the next one.
void TfrmZamraStore::btnS1Click() {
  if (authorize_ != nullptr && authorize_->LoginPending()) {
    ShowErrorBox(box_, std::string(online_texts::kAccessLevelError));
    form_->btnS1->setEnabled(false);
    return;
  }
  if (addons_util_ != nullptr) addons_util_->ShowPluginList();
}

}  // namespace kalvira
