// The shell's open action for the program (kalvira::IShell): web addresses and download
// links through the desktop's default handler; folders through the file manager, with
// the item selected where the session bus offers org.freedesktop.FileManager1, otherwise
// the folder opened as a file:// URL. No session bus is no error: the plain open is used.
// Outcomes are not reported (the callers never look at them).
//
// Threads: the user-interface thread only.
#pragma once

#include "platform/desktop_services.h"

namespace kalvira::ui {

class TDesktopShell : public kalvira::IShell {
 public:
  void OpenUrl(const std::string& url) override;
  void OpenFolder(const std::string& folder, const std::string& item) override;
};

}  // namespace kalvira::ui
