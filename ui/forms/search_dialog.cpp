#include "ui/forms/search_dialog.h"

#include <QGuiApplication>
#include <QScreen>

#include "ui_search_dialog.h"

namespace kalvira {

void CentreOnScreen(QWidget& window) {
  QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize size = window.frameGeometry().size();
  window.move(area.x() + (area.width() - size.width()) / 2,
              area.y() + (area.height() - size.height()) / 2);
}

TfrmSearchDialog::TfrmSearchDialog(QWidget* parent)
    : ui::TSkinnedForm(parent), form_(std::make_unique<Ui::TfrmSearchDialog>()) {
  setObjectName("frmSearchDialog");
  form_->setupUi(ClientArea());
  SetClientSize(413, 151);
  SetCaption(ClientArea()->windowTitle());
  SetCaptionButtons(ui::kNoCaptionButtons);
  tmrVisible_.setInterval(kBlinkInterval);
  connect(&tmrVisible_, &QTimer::timeout, this, [this] { tmrVisibleTimer(); });
  tmrVisible_.start();
}

TfrmSearchDialog::~TfrmSearchDialog() = default;

void TfrmSearchDialog::showEvent(QShowEvent* event) {
  ui::TSkinnedForm::showEvent(event);
  CentreOnScreen(*this);
}

void TfrmSearchDialog::tmrVisibleTimer() {
  form_->lblVC->setHidden(!form_->lblVC->isHidden());
}

}  // namespace kalvira
