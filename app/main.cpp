// Kalvira's main routine. The main window does not exist yet, so the program reports what
// it finds beside itself and ends.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "platform/program_dir.h"
#include "radio/settings_files.h"
#include "radio/settings_keys.h"

int main() {
  const std::string dir = kalvira::ProgramDir();
  const kalvira::TSettingsFiles settings(dir);
  std::printf("Kalvira 5\nProgram folder: %s\n", dir.c_str());
  struct stat info {};
  if (::stat(settings.ConfigPath().c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    const std::string caption = settings.ReadConfigValue(kalvira::settings::kFormCaption);
    std::printf("Settings: %s, FormCaption \"%s\"\n", settings.ConfigPath().c_str(),
                caption.c_str());
  } else {
    std::printf("Settings: %s is missing; every setting reads as empty\n",
                settings.ConfigPath().c_str());
  }
  std::puts("The main window is not built yet; nothing to play.");
  return 0;
}
