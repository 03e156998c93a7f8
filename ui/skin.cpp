#include "ui/skin.h"

#include <QApplication>

namespace kalvira::ui {

QString LoadSkin(const std::string& path) {
  return QString::fromStdString(DecodeSkinBytes(ReadSkinFile(path), path));
}

void ApplySkin(const QString& sheet) {
  qApp->setStyleSheet(sheet);
}

}  // namespace kalvira::ui
