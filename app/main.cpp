// Kalvira's main routine: the application with its title, the nine windows created once
// in their fixed order with the main window first, and the message loop. The windows live
// until the process ends; they are only shown and hidden.
#include <memory>

#include "app/error_report.h"
#include "app/kalvira_application.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/online_windows.h"
#include "ui/fonts.h"
#include "ui/forms/filename_form.h"
#include "ui/forms/genre_list_form.h"
#include "ui/forms/search_dialog.h"
#include "ui/image_list.h"
#include "ui/qt_beeper.h"

int main(int argc, char** argv) {
  kalvira::TKalviraApplication::ChoosePlatform();
  kalvira::TKalviraApplication app(argc, argv);
  app.setApplicationDisplayName(QString::fromUtf8(kalvira::main_texts::kApplicationTitle.data()));
  app.setWindowIcon(kalvira::ui::ProgramIcon());
  kalvira::ui::UseProgramFont();

  kalvira::TfrmKalviraMain frmKalviraMain({});
  kalvira::SetErrorReportBox(&frmKalviraMain.MessageBox());
  kalvira::TfrmSearchDialog frmSearchDialog;
  kalvira::TfrmMP3ID3TagByGenreGenerateList frmMP3ID3TagByGenreGenerateList;
  kalvira::TfrmFilename frmFilename(frmKalviraMain.Shell(),
                                    [&] { return frmKalviraMain.Radio().CurrentFile(); });
  kalvira::ui::TQtBeeper beeper;
  kalvira::TOnlineWindows online(frmKalviraMain, beeper);

  kalvira::TProgramWindows windows;
  windows.frmSearchDialog = &frmSearchDialog;
  windows.frmMP3ID3TagByGenreGenerateList = &frmMP3ID3TagByGenreGenerateList;
  windows.frmFilename = &frmFilename;
  online.AddTo(windows);
  frmKalviraMain.AttachWindows(windows);
  frmKalviraMain.Start();
  const int code = app.exec();
  kalvira::SetErrorReportBox(nullptr);
  return code;
}
