// TfrmKalviraMain, the main window: a small skinned tool window at the bottom-right
// corner with the background picture, the chat feed and the tool bar that carries every
// command. It owns the radio core (the music chain), the message box, the alert pop-up
// and the tray icon, and turns their events into calls of radio/ and online/: it wires,
// it does not decide.
//
// Life: created first of the program's windows (FormCreate); AttachWindows hands it the
// other windows once they exist; Start runs the start sequence (FormShow) and shows it.
// It lives until the process ends; closing it only hides it to the tray.
//
// Threads: the user-interface thread only. Every handler runs through Guarded, so an
// error it does not catch reaches the general error report (error_report.h).
#pragma once

#include <QMenu>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "online/service_database.h"
#include "platform/desktop_services.h"
#include "radio/radio_core.h"
#include "radio/settings_files.h"
#include "scan/music_scan.h"
#include "ui/alert_window.h"
#include "ui/forms/scan_windows.h"
#include "ui/message_box.h"
#include "ui/skinned_form.h"
#include "ui/tray_icon.h"

namespace Ui {
class TfrmKalviraMain;
}

namespace kalvira {

class SoundDevice;
class TfrmAddonsUtil;
class TfrmAuthorize;
class TfrmChat;
class TfrmFilename;
class TfrmSearchDialog;
class TfrmMP3ID3TagByGenreGenerateList;
class TfrmMessageSend;
class TfrmZamraStore;

// The program's other windows, created after the main window in the table's order.
struct TProgramWindows {
  TfrmSearchDialog* frmSearchDialog = nullptr;
  TfrmMP3ID3TagByGenreGenerateList* frmMP3ID3TagByGenreGenerateList = nullptr;
  TfrmFilename* frmFilename = nullptr;
  TfrmMessageSend* frmMessageSend = nullptr;
  TfrmZamraStore* frmZamraStore = nullptr;
  TfrmAuthorize* frmAuthorize = nullptr;
  TfrmAddonsUtil* frmAddonsUtil = nullptr;
  TfrmChat* frmChat = nullptr;
};

class TfrmKalviraMain : public ui::TSkinnedForm {
  Q_OBJECT

 public:
  struct Options {
    std::string program_dir;              // ProgramDir() when empty
    std::shared_ptr<SoundDevice> device;  // KALVIRA_AUDIO_OUT's choice when empty
    IShell* shell = nullptr;              // the desktop's when null
    IMessageBox* message_box = nullptr;   // msgDialogFull when null
    std::function<void(int)> terminate;   // ends the process at once (std::_Exit)
    std::chrono::milliseconds start_wait{300};
    IBeeper* beeper = nullptr;  // the desktop's bell when null
    // The drives the music scan searches; SystemDrives() (KALVIRA_DRIVES or the mount
    // table) when empty.
    std::optional<std::vector<TDrive>> drives;
  };

  // FormCreate.
  explicit TfrmKalviraMain(Options options);
  ~TfrmKalviraMain() override;

  void AttachWindows(const TProgramWindows& windows);

  // FormShow, the start sequence, then the window is shown.
  void Start();

  // Back from the tray (a double click on the tray icon).
  void RestoreFromTray();
  // FormClose: a close request hides the application to the tray; playback goes on.
  void HideToTray();

  TRadioCore& Radio() { return *radio_; }
  TMusicScan& MusicScan() { return *scan_; }
  const TSettingsFiles& Settings() const { return settings_; }
  const std::string& ProgramDir() const { return program_dir_; }
  IMessageBox& MessageBox() { return *message_box_; }
  IShell& Shell() { return *shell_; }
  ui::TAlertWindow& Alert() { return alert_; }
  ui::TTrayIcon& Tray() { return tray_; }
  QMenu& StationMenu() { return station_menu_; }
  QMenu& VoteMenu() { return vote_menu_; }
  Ui::TfrmKalviraMain& Form() { return *form_; }

  // The service database: dbfncn with dfqup and dnvjhe, configured by FormCreate.
  TServiceDatabase& Service() { return service_; }
  // tmrOnlineChat: 25 s, enabled by the start sequence when OnlineChat is "1".
  QTimer& tmrOnlineChat() { return tmrOnlineChat_; }
  // One tick of the chat feed: both labels get the newest messages; a failure switches
  // the feed, the message button and the cabinet button off for the run.
  void FetchChatMessages();
  // Stores one message; a failure is logged only.
  void SendChatMessage(const std::string& user, const std::string& message);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  void DockToWorkArea();
  void LoadProgramSkin();
  void LoadBackgroundLogo();
  void FormMouseEnter();
  void FormMouseLeave();
  void BuildMenus();
  void ConnectCommands();

  // The music scan: the start's and the search button's.
  void FirstRunScan();
  void SearchNewMusic();
  // The online services. CheckForProgramUpdate returns true when it ended the process.
  bool CheckForProgramUpdate();
  void StartOnlineChat();
  void lblMessageClick();
  void btnMessageSendClick();
  void btnManagersClick();

  void btnPauseOrPlayClick();
  void spSkinButton2Click();
  void spSkinButton3Click();
  void Label1Click();

  const std::string program_dir_;
  const TSettingsFiles settings_;
  std::unique_ptr<Ui::TfrmKalviraMain> form_;
  std::unique_ptr<IShell> own_shell_;
  IShell* shell_;
  ui::TSkinnedMessageBox msgDialogFull_;
  IMessageBox* message_box_;
  ui::TAlertWindow alert_;
  ui::TTrayIcon tray_;
  QMenu station_menu_;  // spSkinPopupMenu1, also the tray icon's menu
  QMenu vote_menu_;     // spSkinPopupMenu2
  std::function<void(int)> terminate_;
  std::unique_ptr<TRadioCore> radio_;
  std::unique_ptr<IBeeper> own_beeper_;
  TScanWindows scan_windows_;
  std::unique_ptr<TMusicScan> scan_;
  TServiceDatabase service_;
  QTimer tmrOnlineChat_;
  TProgramWindows windows_;
  bool started_ = false;
};

}  // namespace kalvira
