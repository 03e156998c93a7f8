// Kalvira's main routine: the application with its title, the nine windows created once
// in their fixed order with the main window first, and the message loop. The windows live
// until the process ends; they are only shown and hidden.
#include <QDBusConnection>
#include <cstdio>
#include <string>

#include "app/error_report.h"
#include "app/kalvira_application.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/program_windows.h"
#include "desktop/desktop_entry.h"
#include "desktop/main_window_controls.h"
#include "desktop/mpris_service.h"
#include "platform/program_dir.h"
#include "ui/fonts.h"
#include "ui/image_list.h"

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
  kalvira::TProgramWindowSet windows(frmKalviraMain,
                                     [&] { return frmKalviraMain.Radio().CurrentFile(); });
  // Media keys and the desktop's media controls; nothing without a session bus.
  kalvira::desktop::TMainWindowControls media_controls(frmKalviraMain);
  kalvira::desktop::TMprisService mpris(media_controls, kalvira::desktop::kDesktopEntryId);
  mpris.Register(QDBusConnection::sessionBus());
  frmKalviraMain.Start();
  const int code = app.exec();
  kalvira::SetErrorReportBox(nullptr);
  return code;
}
