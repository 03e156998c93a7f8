#include "ui/skin_menu_button.h"

#include "ui/hint.h"
#include "ui/image_list.h"

namespace kalvira::ui {

TSkinMenuButton::TSkinMenuButton(QWidget* parent) : QToolButton(parent) {
  setPopupMode(QToolButton::InstantPopup);
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  setIconSize(QSize(16, 16));
}

void TSkinMenuButton::SetPicture(int index) {
  picture_ = IsImageListIndex(index) ? index : 0;
  setIcon(ImageListIcon(picture_));
}

void TSkinMenuButton::SetHint(const QString& hint) {
  hint_ = hint;
  ui::SetHint(this, hint);
}

}  // namespace kalvira::ui
