// TfrmAddonsUtil, "Обзор плагинов": the plug-ins the service offers, read afresh at every
// opening; "Установить" hands the selected item's link to the shell. Created at start,
// opened modally by the cabinet.
//
// Threads: the user-interface thread only.
#pragma once

#include <memory>
#include <vector>

#include "online/plugin_list.h"
#include "platform/desktop_services.h"
#include "ui/forms/form_errors.h"
#include "ui/skinned_form.h"

namespace Ui {
class TfrmAddonsUtil;
}

namespace kalvira {

class TfrmAddonsUtil : public ui::TSkinnedDialog {
  Q_OBJECT

 public:
  // `dnvjhe` (the service's login and plug-in query) and `shell` must outlive the window;
  // `report` is the general error report.
  TfrmAddonsUtil(TMyQuery& dnvjhe, IShell& shell, ErrorReporter report, QWidget* parent = nullptr);
  ~TfrmAddonsUtil() override;

  // Empties the list, reads the table and shows the window modally. When the table
  // cannot be read the error goes to the general report and the window is not shown: an
  // empty list would offer nothing to install.
  void ShowPluginList();

  // The list from `items`, replacing what it held.
  void SetItems(const std::vector<PluginItem>& items);

  Ui::TfrmAddonsUtil& Form() { return *form_; }

 private:
  void spSkinButton1Click();

  std::unique_ptr<Ui::TfrmAddonsUtil> form_;
  TMyQuery& dnvjhe_;
  IShell& shell_;
  ErrorReporter report_;
};

}  // namespace kalvira
