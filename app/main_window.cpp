#include "app/main_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <cstdlib>
#include <filesystem>

#include "app/error_report.h"
#include "app/main_window_texts.h"
#include "online/chat_feed.h"
#include "online/update_check.h"
#include "platform/program_dir.h"
#include "radio/list_file.h"
#include "radio/settings_keys.h"
#include "radio/stations.h"
#include "ui/desktop_shell.h"
#include "ui/forms/chat_form.h"
#include "ui/forms/filename_form.h"
#include "ui/forms/message_send_form.h"
#include "ui/forms/zamra_store_form.h"
#include "ui/image_list.h"
#include "ui/qt_beeper.h"
#include "ui/skin.h"
#include "ui/skin_codec.h"
#include "ui_main_window.h"

namespace kalvira {

namespace {

constexpr int kChatIntervalMs = 25000;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The picture formats a background may have, by the file's extension; metafiles have no
// reader here and load as nothing.
QByteArray PictureFormat(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".bmp") return "BMP";
  if (extension == ".ico") return "ICO";
  if (extension == ".jpg" || extension == ".jpeg") return "JPEG";
  if (extension == ".png") return "PNG";
  return {};
}

}  // namespace

TfrmKalviraMain::TfrmKalviraMain(Options options)
    : program_dir_(options.program_dir.empty() ? ::kalvira::ProgramDir() : options.program_dir),
      settings_(program_dir_),
      form_(std::make_unique<Ui::TfrmKalviraMain>()),
      own_shell_(options.shell != nullptr ? nullptr : std::make_unique<ui::TDesktopShell>()),
      shell_(options.shell != nullptr ? options.shell : own_shell_.get()),
      msgDialogFull_(this),
      message_box_(options.message_box != nullptr ? options.message_box : &msgDialogFull_),
      terminate_(options.terminate ? std::move(options.terminate)
                                   : [](int code) { std::_Exit(code); }) {
  setObjectName("frmKalviraMain");
  form_->setupUi(ClientArea());
  SetClientSize(437, 171);
  SetCaption(Q(main_texts::kCaption));
  SetCaptionButtons(ui::kRollUp | ui::kMinimizeToTray);
  setWindowIcon(ui::ProgramIcon());
  setMouseTracking(true);
  form_->Label1->setText(Q(main_texts::kSiteLabel) + Q(main_texts::kSiteAddress));
  form_->Label1->installEventFilter(this);
  form_->gpbIdent->installEventFilter(this);
  form_->bkgImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  TRadioCore::Options radio_options;
  radio_options.device = options.device;
  radio_options.start_wait = options.start_wait;
  radio_ = std::make_unique<TRadioCore>(program_dir_, settings_, alert_, *message_box_,
                                        std::move(radio_options));
  if (options.beeper == nullptr) own_beeper_ = std::make_unique<ui::TQtBeeper>();
  TMusicScan::Options scan_options;
  scan_options.drives = std::move(options.drives);
  scan_ = std::make_unique<TMusicScan>(program_dir_, settings_,
                                       options.beeper != nullptr ? *options.beeper : *own_beeper_,
                                       *message_box_, scan_windows_, std::move(scan_options));
  BuildMenus();
  ConnectCommands();
  tmrOnlineChat_.setObjectName("tmrOnlineChat");
  tmrOnlineChat_.setInterval(kChatIntervalMs);
  connect(&tmrOnlineChat_, &QTimer::timeout, this,
          [this] { Guarded([this] { FetchChatMessages(); })(); });
  // The service connection's settings, before any other window exists. A malformed
  // KALVIRA_SERVICE is reported here; every statement then fails and is handled as such.
  Guarded([this] { service_.Configure(); })();
}

TfrmKalviraMain::~TfrmKalviraMain() = default;

void TfrmKalviraMain::AttachWindows(const TProgramWindows& windows) {
  windows_ = windows;
  scan_windows_.SetWindows(windows.frmSearchDialog, windows.frmMP3ID3TagByGenreGenerateList);
}

void TfrmKalviraMain::BuildMenus() {
  station_menu_.setObjectName("spSkinPopupMenu1");
  for (const StationInfo& station : kStations) {
    QAction* item =
        station_menu_.addAction(Q(main_texts::kStationItemBefore) + Q(station.menu_word) +
                                Q(main_texts::kStationItemAfter));
    item->setObjectName(Q(station.menu_item));
    const std::string code(station.code);
    connect(item, &QAction::triggered, this,
            Guarded([this, code](bool) { radio_->SelectStation(code); }));
  }
  vote_menu_.setObjectName("spSkinPopupMenu2");
  QAction* n5 = vote_menu_.addAction(ui::ImageListIcon(main_texts::kVoteForPicture),
                                     Q(main_texts::kVoteForItem));
  n5->setObjectName("N5");
  connect(n5, &QAction::triggered, this, Guarded([this](bool) { radio_->VoteFor(); }));
  QAction* n6 = vote_menu_.addAction(ui::ImageListIcon(main_texts::kVoteAgainstPicture),
                                     Q(main_texts::kVoteAgainstItem));
  n6->setObjectName("N6");
  connect(n6, &QAction::triggered, this, Guarded([this](bool) { radio_->VoteAgainst(); }));

  form_->spSkinMenuButton1->setMenu(&station_menu_);
  form_->spSkinMenuButton2->setMenu(&vote_menu_);
  tray_.SetMenu(&station_menu_);
}

void TfrmKalviraMain::ConnectCommands() {
  Ui::TfrmKalviraMain& f = *form_;
  connect(f.btnPauseOrPlay, &QPushButton::clicked, this,
          Guarded([this](bool) { btnPauseOrPlayClick(); }));
  connect(f.spSkinButton1, &QPushButton::clicked, this,
          Guarded([this](bool) { radio_->ShowNowPlaying(); }));
  connect(f.spSkinButton2, &QPushButton::clicked, this,
          Guarded([this](bool) { spSkinButton2Click(); }));
  connect(f.btnMessageSend, &QPushButton::clicked, this,
          Guarded([this](bool) { btnMessageSendClick(); }));
  connect(f.btnManagers, &QPushButton::clicked, this,
          Guarded([this](bool) { btnManagersClick(); }));
  connect(f.spSkinButton4, &QPushButton::clicked, this,
          Guarded([this](bool) { SearchNewMusic(); }));
  connect(f.spSkinButton3, &QPushButton::clicked, this,
          Guarded([this](bool) { spSkinButton3Click(); }));
  connect(f.lblMessage, &ui::THtmlLabel::clicked, this, Guarded([this] { lblMessageClick(); }));
  connect(this, &ui::TSkinnedForm::MinimizeToTrayRequested, this,
          Guarded([this] { HideToTray(); }));
  connect(&tray_, &ui::TTrayIcon::RestoreRequested, this, Guarded([this] { RestoreFromTray(); }));
}

void TfrmKalviraMain::Start() {
  if (started_) return;
  started_ = true;
  Guarded([this] { FormShow(); })();
  show();
}

void TfrmKalviraMain::FormShow() {
  DockToWorkArea();
  // The random draw was seeded from the clock when the radio was made; ProgramDir is
  // known since FormCreate.
  LoadProgramSkin();
  const std::string caption = settings_.ReadConfigValue(settings::kFormCaption);
  if (!caption.empty()) SetCaption(QString::fromStdString(caption));
  const std::string sender = settings_.ReadConfigValue(settings::kSenderCaption);
  if (!sender.empty()) form_->gpbIdent->setTitle(QString::fromStdString(sender));
  // A scan whose lists cannot be saved is reported, and the start goes on without them.
  if (!std::filesystem::exists(ListFilePath(program_dir_, "rallfm.lfm")))
    Guarded([this] { FirstRunScan(); })();
  radio_->SetCurrentStation(stations::kAllFm);
  radio_->StartJingle();
  tray_.SetHint(Q(main_texts::kTrayHint));
  tray_.Refresh();
  LoadBackgroundLogo();
  if (settings_.ReadConfigValue(settings::kCheckForUpdate) == settings::kOn &&
      CheckForProgramUpdate()) {
    return;
  }
  if (settings_.ReadConfigValue(settings::kOnlineChat) == settings::kOn) {
    StartOnlineChat();
  } else {
    form_->lblMessage->setVisible(false);
    form_->btnMessageSend->setEnabled(false);
  }
}

void TfrmKalviraMain::DockToWorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  move(area.x() + area.width() - width(), area.y() + area.height() - height());
}

void TfrmKalviraMain::LoadProgramSkin() {
  try {
    ui::ApplySkin(ui::LoadSkin(settings_.ReadConfigValue(settings::kSkin)));
  } catch (const ui::ESkinError&) {
    settings_.LogError(main_texts::kSkinFailed);
  }
}

// A picture that cannot be read leaves the picture area empty and the start goes on: the
// update check and the chat feed that follow do not depend on a logo.
void TfrmKalviraMain::LoadBackgroundLogo() {
  const std::string path = settings_.ReadConfigValue(settings::kBackgroundLogo);
  if (path.empty()) return;
  const QByteArray format = PictureFormat(path);
  if (format.isEmpty()) return;
  QImageReader reader(QString::fromStdString(path), format);
  reader.setDecideFormatFromContent(false);
  const QImage picture = reader.read();
  if (!picture.isNull()) form_->bkgImage->setPixmap(QPixmap::fromImage(picture));
}

void TfrmKalviraMain::closeEvent(QCloseEvent* event) {
  event->ignore();
  Guarded([this] { HideToTray(); })();
}

void TfrmKalviraMain::HideToTray() {
  hide();
}

void TfrmKalviraMain::RestoreFromTray() {
  show();
  raise();
  activateWindow();
}

void TfrmKalviraMain::enterEvent(QEnterEvent* event) {
  ui::TSkinnedForm::enterEvent(event);
  Guarded([this] { FormMouseEnter(); })();
}

void TfrmKalviraMain::leaveEvent(QEvent* event) {
  ui::TSkinnedForm::leaveEvent(event);
  Guarded([this] { FormMouseLeave(); })();
}

bool TfrmKalviraMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->gpbIdent) {
    if (event->type() == QEvent::Enter) Guarded([this] { FormMouseEnter(); })();
    if (event->type() == QEvent::Leave) Guarded([this] { FormMouseLeave(); })();
  } else if (watched == form_->Label1 && event->type() == QEvent::MouseButtonRelease) {
    Guarded([this] { Label1Click(); })();
    return true;
  }
  return ui::TSkinnedForm::eventFilter(watched, event);
}

// The setting is read at every enter and leave, so an edit counts without a restart.
void TfrmKalviraMain::FormMouseEnter() {
  if (settings_.ReadConfigValue(settings::kAlphaBlend) != settings::kOn) return;
  SetAlphaBlendValue(main_texts::kOpaque);
  SetAlphaBlend(true);
}

// Leaving the group box for the window's own caption is no leaving of the window.
void TfrmKalviraMain::FormMouseLeave() {
  if (settings_.ReadConfigValue(settings::kAlphaBlend) != settings::kOn) return;
  if (isVisible() && frameGeometry().contains(QCursor::pos())) return;
  SetAlphaBlendValue(main_texts::kFaded);
  SetAlphaBlend(true);
}

void TfrmKalviraMain::btnPauseOrPlayClick() {
  radio_->PauseOrPlay();
  form_->btnPauseOrPlay->setText(QString::fromStdString(radio_->PauseCaption()));
}

void TfrmKalviraMain::spSkinButton2Click() {
  if (windows_.frmFilename != nullptr) windows_.frmFilename->exec();
}

void TfrmKalviraMain::spSkinButton3Click() {
  terminate_(0);
}

void TfrmKalviraMain::Label1Click() {
  shell_->OpenUrl(std::string(main_texts::kSiteAddress));
}

// The first start's scan: rallfm.lfm is missing.
void TfrmKalviraMain::FirstRunScan() {
  scan_->Run(ScanKind::kFirstRun);
}

// Refused (nothing happens) while a scan runs: its pumping lets the button be pressed.
void TfrmKalviraMain::SearchNewMusic() {
  scan_->Run(ScanKind::kSearch);
}

bool TfrmKalviraMain::CheckForProgramUpdate() {
  return ::kalvira::CheckForProgramUpdate(service_, settings_, *message_box_, *shell_, terminate_);
}

// The first fetch comes one interval after the start, not at once.
void TfrmKalviraMain::StartOnlineChat() {
  tmrOnlineChat_.start();
}

void TfrmKalviraMain::FetchChatMessages() {
  ui::THtmlLabel* room = windows_.frmChat != nullptr ? &windows_.frmChat->lblHTMLLAber() : nullptr;
  auto switch_off = [&] {
    tmrOnlineChat_.stop();
    form_->btnMessageSend->setEnabled(false);
    form_->btnManagers->setEnabled(false);
  };
  ChatFetch fetch;
  try {
    fetch = ::kalvira::FetchChatMessages(service_, settings_);
  } catch (...) {
    // Only the log entry of a failed fetch can throw (a refused write): the feed is off
    // all the same, so the report is shown once and not at every tick.
    switch_off();
    form_->lblMessage->Clear();
    if (room != nullptr) room->Clear();
    throw;
  }
  if (fetch.failed) switch_off();
  form_->lblMessage->Clear();
  if (room != nullptr) room->Clear();
  for (const std::string& line : fetch.lines) {
    const QString text = QString::fromStdString(line);
    form_->lblMessage->Append(text);
    if (room != nullptr) room->Append(text);
  }
}

void TfrmKalviraMain::SendChatMessage(const std::string& user, const std::string& message) {
  ::kalvira::SendChatMessage(service_, settings_, user, message);
}

void TfrmKalviraMain::lblMessageClick() {
  if (windows_.frmChat != nullptr) windows_.frmChat->ShowRoom();
}

void TfrmKalviraMain::btnMessageSendClick() {
  if (windows_.frmMessageSend != nullptr) windows_.frmMessageSend->exec();
}

void TfrmKalviraMain::btnManagersClick() {
  if (windows_.frmZamraStore != nullptr) windows_.frmZamraStore->exec();
}

}  // namespace kalvira
