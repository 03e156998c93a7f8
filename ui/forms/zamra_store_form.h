// TfrmZamraStore, "ZamraStore": the personal cabinet, from which the listener logs in
// and, once logged in, opens the plug-in list. Created at start, shown modally by the
// main window's cabinet button. Closing it does not log the listener out.
//
// Threads: the user-interface thread only.
#pragma once

#include <memory>

#include "platform/desktop_services.h"
#include "ui/skinned_form.h"

namespace Ui {
class TfrmZamraStore;
}

namespace kalvira {

class TfrmAddonsUtil;
class TfrmAuthorize;

class TfrmZamraStore : public ui::TSkinnedDialog {
  Q_OBJECT

 public:
  // `box` must outlive the window.
  explicit TfrmZamraStore(IMessageBox& box, QWidget* parent = nullptr);
  ~TfrmZamraStore() override;

  // The windows created after this one; both must outlive it.
  void AttachWindows(TfrmAuthorize* authorize, TfrmAddonsUtil* addons_util);

  // A successful login: btnS1 to btnS4 enabled (btnS2 to btnS4 stay invisible).
  void EnableCabinetButtons();

  Ui::TfrmZamraStore& Form() { return *form_; }

 private:
  void btnS1Click();

  std::unique_ptr<Ui::TfrmZamraStore> form_;
  IMessageBox& box_;
  TfrmAuthorize* authorize_ = nullptr;
  TfrmAddonsUtil* addons_util_ = nullptr;
};

}  // namespace kalvira
