#include "ui/qt_beeper.h"

#include <QApplication>

namespace kalvira::ui {

void TQtBeeper::Beep() {
  QApplication::beep();
}

void TQtBeeper::Tone(unsigned, unsigned) {
  QApplication::beep();
}

}  // namespace kalvira::ui
