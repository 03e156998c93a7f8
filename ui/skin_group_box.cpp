#include "ui/skin_group_box.h"

namespace kalvira::ui {

TSkinGroupBox::TSkinGroupBox(QWidget* parent) : QGroupBox(parent) {}

TSkinGroupBox::TSkinGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent) {}

}  // namespace kalvira::ui
