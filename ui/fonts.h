// The program's fonts. The windows' pixel layouts were measured in "Calibri" (fontconfig
// gives Carlito, its metric-compatible stand-in, from fonts-crosextra-carlito) and, in
// the plug-in list, "Tahoma".
//
// Threads: the user-interface thread only, after the application object exists.
#pragma once

#include <QFont>

namespace kalvira::ui {

// Pixel size of the program's text; buttons of 25 pixels and labels 13 pixels high fit it.
inline constexpr int kProgramFontPixels = 12;

// "Calibri" at kProgramFontPixels.
QFont ProgramFont();
// "Tahoma" at kProgramFontPixels (the plug-in list).
QFont TahomaFont();

// Makes ProgramFont the application's font.
void UseProgramFont();

}  // namespace kalvira::ui
