#include "app/program_windows.h"

#include <utility>

namespace kalvira {

TProgramWindowSet::TProgramWindowSet(TfrmKalviraMain& main,
                                     std::function<std::string()> current_file)
    : frmFilename(main.Shell(), std::move(current_file)), online(main, beeper) {
  TProgramWindows windows;
  windows.frmSearchDialog = &frmSearchDialog;
  windows.frmMP3ID3TagByGenreGenerateList = &frmMP3ID3TagByGenreGenerateList;
  windows.frmFilename = &frmFilename;
  online.AddTo(windows);
  main.AttachWindows(windows);
}

}  // namespace kalvira
