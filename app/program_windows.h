// The program's windows after the main window, created once in their fixed order
// (frmSearchDialog, frmMP3ID3TagByGenreGenerateList, frmFilename, then the online
// services' five) and handed to the main window when this set is made. The program and
// the screenshot tool build the same set, so the order lives in one place.
//
// Life: from the program's start to its end, like the main window, which must outlive
// it. Threads: the user-interface thread only.
#pragma once

#include <functional>
#include <string>

#include "app/main_window.h"
#include "app/online_windows.h"
#include "ui/forms/filename_form.h"
#include "ui/forms/genre_list_form.h"
#include "ui/forms/search_dialog.h"
#include "ui/qt_beeper.h"

namespace kalvira {

struct TProgramWindowSet {
  // `current_file` is what frmFilename shows (the radio's current file in the program).
  TProgramWindowSet(TfrmKalviraMain& main, std::function<std::string()> current_file);

  TfrmSearchDialog frmSearchDialog;
  TfrmMP3ID3TagByGenreGenerateList frmMP3ID3TagByGenreGenerateList;
  TfrmFilename frmFilename;
  ui::TQtBeeper beeper;  // the hidden mode's tone
  TOnlineWindows online;
};

}  // namespace kalvira
