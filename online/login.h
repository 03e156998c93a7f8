// The login to the personal cabinet: the remembered address and password, the check
// against the service's account table (cipher texts compared, never passwords) and the
// success steps. The login window shows what this returns; the message boxes go through
// IMessageBox.
//
// `LoginPending` is set by every showing of the login window and cleared only by a
// successful login; while it is set the cabinet refuses the plug-in list.
//
// Threads: the user-interface thread only (the statement and the boxes block it).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/desktop_services.h"

namespace kalvira {

class TMyQuery;
class TSettingsFiles;

class TLogin {
 public:
  // `dnvjhe` is the service connection's login query; all three must outlive this.
  TLogin(TMyQuery& dnvjhe, const TSettingsFiles& settings, IMessageBox& box);

  bool LoginPending() const { return login_pending_; }

  // What the window's fields get; nothing for a field whose value could not be read
  // (it keeps its content).
  struct Remembered {
    std::optional<std::string> username;
    std::optional<std::string> password;
  };

  // The window is being shown: sets LoginPending, reads zmsUserName and decrypts
  // zmsPassword; when either fails (nothing remembered yet, a damaged value) shows the
  // warning about damaged data.
  Remembered WindowShown();

  enum class Outcome { kDenied, kWrongPassword, kSuccess };

  // Checks `email` and `password` exactly as typed. Denied (no such active account, or
  // the server failed, which is logged first) and a wrong password are told in a box
  // and change nothing. On success, in this order: LoginPending := false,
  // `apply_to_windows` (the nick, the cabinet buttons, closing the login window), then
  // zmsUserName and zmsPassword are written (a refused write throws ProfileWriteError).
  Outcome LoginToService(const std::string& email, const std::string& password,
                         const std::function<void()>& apply_to_windows);

 private:
  TMyQuery& dnvjhe_;
  const TSettingsFiles& settings_;
  IMessageBox& box_;
  bool login_pending_ = false;
};

}  // namespace kalvira
