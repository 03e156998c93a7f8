#include "ui/skin_button.h"

#include "ui/hint.h"
#include "ui/image_list.h"

namespace kalvira::ui {

TSkinButton::TSkinButton(QWidget* parent) : QPushButton(parent) {
  setIconSize(QSize(16, 16));
}

TSkinButton::TSkinButton(const QString& caption, QWidget* parent) : TSkinButton(parent) {
  setText(caption);
}

void TSkinButton::SetPicture(int index) {
  picture_ = IsImageListIndex(index) ? index : 0;
  setIcon(ImageListIcon(picture_));
}

void TSkinButton::SetHint(const QString& hint) {
  hint_ = hint;
  ui::SetHint(this, hint);
}

}  // namespace kalvira::ui
