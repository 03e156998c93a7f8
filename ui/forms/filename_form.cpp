#include "ui/forms/filename_form.h"

#include <sys/stat.h>

#include "radio/folder_of_path.h"
#include "ui_filename_form.h"

namespace kalvira {

TfrmFilename::TfrmFilename(IShell& shell, std::function<std::string()> current_file,
                           QWidget* parent)
    : ui::TSkinnedDialog(parent),
      form_(std::make_unique<Ui::TfrmFilename>()),
      shell_(shell),
      current_file_(std::move(current_file)) {
  setObjectName("frmFilename");
  form_->setupUi(ClientArea());
  SetClientSize(341, 102);
  SetCaption(ClientArea()->windowTitle());
  SetCaptionButtons(ui::kNoCaptionButtons);
  connect(form_->spSkinButton1, &QPushButton::clicked, this, [this] { spSkinButton1Click(); });
  connect(form_->spSkinButton2, &QPushButton::clicked, this, [this] { accept(); });
}

TfrmFilename::~TfrmFilename() = default;

void TfrmFilename::showEvent(QShowEvent* event) {
  form_->editFilename->setText(QString::fromStdString(current_file_()));
  ui::TSkinnedDialog::showEvent(event);
}

// "Обзор": the folder of the path as it stands in the box now, with the file selected
// where the desktop can. What the desktop makes of it is not looked at.
void TfrmFilename::spSkinButton1Click() {
  const std::string path = form_->editFilename->text().toStdString();
  struct stat info {};
  const bool is_file = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  shell_.OpenFolder(FolderOfPath(path), is_file ? path : std::string());
}

}  // namespace kalvira
