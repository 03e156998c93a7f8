// The application object of the main window's tests: the program's own (the general
// error report, the engine's synchronized calls on this thread), on Qt's offscreen
// platform unless the environment names another; the options of a main window under
// test; and (qt_wait.h) a wait that keeps the event loop running. Test thread only.
#pragma once

#include <functional>
#include <vector>

#include "app/kalvira_application.h"
#include "app/main_window.h"
#include "audio/sound_device.h"
#include "tests/radio/radio_fixture.h"
#include "tests/support/qt_wait.h"
#include "tests/support/test_support.h"

namespace kalvira::testing {

inline TKalviraApplication& AppForTests() {
  static int argc = 1;
  static char name[] = "kalvira-app-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static TKalviraApplication* app = new TKalviraApplication(argc, argv);
  return *app;
}

// A main window over `folder` that records to out.wav there, answers its shell and boxes
// with the recorders and collects exit codes instead of ending the process. Its first-run
// scan searches nothing, so a test never walks the machine.
inline TfrmKalviraMain::Options TestWindowOptions(const ProgramFolder& folder,
                                                  RecordingShell& shell, RecordingMessageBox& box,
                                                  std::vector<int>& exit_codes) {
  TfrmKalviraMain::Options options;
  options.program_dir = folder.Dir();
  options.device = MakeWavFileSoundDevice(folder.File("out.wav"));
  options.shell = &shell;
  options.message_box = &box;
  options.terminate = [&exit_codes](int code) { exit_codes.push_back(code); };
  options.drives = std::vector<TDrive>{};
  return options;
}

}  // namespace kalvira::testing
