// Kalvira's main routine: the application with its title, the nine windows created once
// in their fixed order with the main window first, and the message loop. The windows live
// until the process ends; they are only shown and hidden.
#include <QDBusConnection>
#include <cstdio>
#include <memory>
#include <string>

#include "app/error_report.h"
#include "app/kalvira_application.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/online_windows.h"
#include "desktop/desktop_entry.h"
#include "desktop/main_window_controls.h"
#include "desktop/mpris_service.h"
#include "platform/program_dir.h"
#include "ui/fonts.h"
#include "ui/forms/filename_form.h"
#include "ui/forms/genre_list_form.h"
#include "ui/forms/search_dialog.h"
#include "ui/image_list.h"
#include "ui/qt_beeper.h"

int main(int argc, char** argv) {
  // The program folder is the current folder, seeded first for an installed program.
  if (std::string error; !kalvira::EnterProgramDir(&error))
    std::fprintf(stderr, "kalvira: %s\n", error.c_str());
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
  // Media keys and the desktop's media controls; nothing without a session bus.
  kalvira::desktop::TMainWindowControls media_controls(frmKalviraMain);
  kalvira::desktop::TMprisService mpris(media_controls, kalvira::desktop::kDesktopEntryId);
  mpris.Register(QDBusConnection::sessionBus());
  frmKalviraMain.Start();
  const int code = app.exec();
  kalvira::SetErrorReportBox(nullptr);
  return code;
}
