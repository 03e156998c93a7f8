// Skins: a skin file is a Qt style sheet that styles every window of the program by
// widget class and by the object names and classes of ui/ (see data/skins/kalvira.qss for
// the names a skin can style).
//
// File format (ui/skin_codec.h has the details): plain UTF-8 text, or the same text as a
// zlib stream (RFC 1950), recognised by its two-byte header; `kalvira-skin compress IN
// OUT` makes that form. At most 4 MiB of text either way.
//
// Threads: the user-interface thread only.
#pragma once

#include <QString>
#include <string>

#include "ui/skin_codec.h"  // ESkinError

namespace kalvira::ui {

// Loads the skin file at `path`, taken exactly as given (a relative path is read against
// the current folder). Throws ESkinError with a message naming the file and the reason
// when it cannot be opened or read, or is not a skin (empty, not UTF-8, garbage, bad or
// cut-short compressed data, larger than the cap). Nothing is applied.
QString LoadSkin(const std::string& path);

// Sets `sheet` as the application's style sheet; an empty sheet gives the unskinned look.
void ApplySkin(const QString& sheet);

}  // namespace kalvira::ui
