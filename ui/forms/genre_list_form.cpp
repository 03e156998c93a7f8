#include "ui/forms/genre_list_form.h"

#include "ui/forms/search_dialog.h"
#include "ui_genre_list_form.h"

namespace kalvira {

TfrmMP3ID3TagByGenreGenerateList::TfrmMP3ID3TagByGenreGenerateList(QWidget* parent)
    : ui::TSkinnedForm(parent), form_(std::make_unique<Ui::TfrmMP3ID3TagByGenreGenerateList>()) {
  setObjectName("frmMP3ID3TagByGenreGenerateList");
  form_->setupUi(ClientArea());
  SetClientSize(255, 86);
  SetCaption(ClientArea()->windowTitle());
  SetCaptionButtons(ui::kNoCaptionButtons);
}

TfrmMP3ID3TagByGenreGenerateList::~TfrmMP3ID3TagByGenreGenerateList() = default;

void TfrmMP3ID3TagByGenreGenerateList::showEvent(QShowEvent* event) {
  ui::TSkinnedForm::showEvent(event);
  CentreOnScreen(*this);
}

}  // namespace kalvira
