#include "app/online_windows.h"

#include "app/error_report.h"

namespace kalvira {

TOnlineWindows::TOnlineWindows(TfrmKalviraMain& main, IBeeper& beeper)
    : frmMessageSend(main.MessageBox(), beeper,
                     [&main](const std::string& user, const std::string& message) {
                       main.SendChatMessage(user, message);
                     }),
      frmZamraStore(main.MessageBox()),
      frmAuthorize(main.Service().dnvjhe, main.Settings(), main.MessageBox(), frmMessageSend,
                   frmZamraStore, &ReportError),
      frmAddonsUtil(main.Service().dnvjhe, main.Shell(), &ReportError),
      frmChat([this] { frmMessageSend.exec(); }) {
  frmMessageSend.SetShowLogin([this] { frmAuthorize.exec(); });
  frmZamraStore.AttachWindows(&frmAuthorize, &frmAddonsUtil);
}

void TOnlineWindows::AddTo(TProgramWindows& windows) {
  windows.frmMessageSend = &frmMessageSend;
  windows.frmZamraStore = &frmZamraStore;
  windows.frmAuthorize = &frmAuthorize;
  windows.frmAddonsUtil = &frmAddonsUtil;
  windows.frmChat = &frmChat;
}

}  // namespace kalvira
