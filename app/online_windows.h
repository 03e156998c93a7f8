// The five windows of the online services, created in the program's order after the
// main window's own (frmMessageSend, frmZamraStore, frmAuthorize, frmAddonsUtil,
// frmChat) and wired to the main window and to each other: the message window sends
// through the main window, the login fills its nick and unlocks the cabinet, the
// cabinet opens the login and the plug-in list, the chat room opens the message window.
//
// Life: like every window, from the program's start to its end; hand them to the main
// window with AddTo. Threads: the user-interface thread only.
#pragma once

#include "app/main_window.h"
#include "ui/forms/addons_util_form.h"
#include "ui/forms/authorize_form.h"
#include "ui/forms/chat_form.h"
#include "ui/forms/message_send_form.h"
#include "ui/forms/zamra_store_form.h"

namespace kalvira {

struct TOnlineWindows {
  // `main` and `beeper` (the hidden mode's tone) must outlive the windows.
  TOnlineWindows(TfrmKalviraMain& main, IBeeper& beeper);

  void AddTo(TProgramWindows& windows);

  // In the order of creation.
  TfrmMessageSend frmMessageSend;
  TfrmZamraStore frmZamraStore;
  TfrmAuthorize frmAuthorize;
  TfrmAddonsUtil frmAddonsUtil;
  TfrmChat frmChat;
};

}  // namespace kalvira
