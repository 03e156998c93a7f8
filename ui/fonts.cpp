#include "ui/fonts.h"

#include <QApplication>

namespace kalvira::ui {
namespace {

QFont Font(const char* family, const QStringList& stand_ins) {
  QFont font(QString::fromLatin1(family));
  font.setFamilies(QStringList{QString::fromLatin1(family)} + stand_ins);
  font.setPixelSize(kProgramFontPixels);
  return font;
}

}  // namespace

QFont ProgramFont() {
  return Font("Calibri", {QStringLiteral("Carlito")});
}

QFont TahomaFont() {
  return Font("Tahoma", {QStringLiteral("DejaVu Sans")});
}

void UseProgramFont() {
  QApplication::setFont(ProgramFont());
}

}  // namespace kalvira::ui
