// kalvira-screenshots OUT_DIR: pictures of the program's windows as the shipped skin
// draws them, written as PNG files into OUT_DIR, for the README and for looking at a
// change before it lands. Needs a real display; scripts/screenshots.sh runs it under Xvfb
// in a copy of the program folder.
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/kalvira_application.h"
#include "app/main_window.h"
#include "app/program_windows.h"
#include "ui/fonts.h"
#include "ui/forms/filename_form.h"
#include "ui/forms/genre_list_form.h"
#include "ui/forms/search_dialog.h"
#include "ui/hint.h"
#include "ui/html_label.h"
#include "ui/image_list.h"
#include "ui_addons_util_form.h"
#include "ui_filename_form.h"
#include "ui_genre_list_form.h"
#include "ui_main_window.h"
#include "ui_message_send_form.h"
#include "ui_search_dialog.h"
#include "ui_zamra_store_form.h"

namespace {

QString out_dir;
int failures = 0;

// Lets the window system draw for `ms` milliseconds.
void Settle(int ms = 400) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The screen's pixels of `area` (in screen coordinates), saved as OUT_DIR/name.png.
void Grab(const QRect& area, const QString& name, int settle_ms = 400) {
  Settle(settle_ms);
  const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                       area.width(), area.height());
  const QString path = out_dir + "/" + name + ".png";
  if (picture.isNull() || !picture.save(path)) {
    std::fprintf(stderr, "kalvira-screenshots: could not write %s\n", qPrintable(path));
    ++failures;
    return;
  }
  std::printf("%s\n", qPrintable(path));
}

void GrabWidget(QWidget* widget, const QString& name, int margin = 0) {
  Settle();
  Grab(widget->frameGeometry().adjusted(-margin, -margin, margin, margin), name);
}

// Runs `open` (which shows a modal window and waits), grabs the modal window once it is
// up and closes it.
void GrabModal(const QString& name, const std::function<void()>& open) {
  QTimer::singleShot(600, [name] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      Grab(modal->frameGeometry(), name);
      modal->close();
    } else {
      std::fprintf(stderr, "kalvira-screenshots: no window for %s\n", qPrintable(name));
      ++failures;
    }
  });
  open();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kalvira-screenshots OUT_DIR\n");
    return 2;
  }
  kalvira::TKalviraApplication::ChoosePlatform();
  kalvira::TKalviraApplication app(argc, argv);
  kalvira::ui::UseProgramFont();
  out_dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out_dir);

  // The first start's music scan searches nothing here: the pictures are of the windows,
  // not of this machine's music.
  if (std::getenv(kalvira::kDrivesVariable) == nullptr) setenv(kalvira::kDrivesVariable, "", 1);
  kalvira::TfrmKalviraMain main_window({});
  kalvira::TProgramWindowSet windows(
      main_window, [] { return std::string("/home/listener/Музыка/Кино/Группа крови.mp3"); });
  kalvira::TfrmSearchDialog& search_dialog = windows.frmSearchDialog;
  kalvira::TfrmMP3ID3TagByGenreGenerateList& genre_list = windows.frmMP3ID3TagByGenreGenerateList;
  kalvira::TfrmFilename& filename = windows.frmFilename;
  kalvira::TOnlineWindows& online = windows.online;
  main_window.Start();
  Ui::TfrmKalviraMain& f = main_window.Form();

  // The chat feed as listeners fill it: user, ": ", message, "<br>".
  f.lblMessage->setVisible(true);
  f.lblMessage->Clear();
  for (const char* line : {"Ольга: Привет всем, отличная музыка сегодня!<br>",
                           "Sergey: Поставьте что-нибудь из классики <3<br>",
                           "<font color=\"red\"><b>Радио</b></font>: Добро пожаловать в эфир!<br>",
                           "Марина: а у меня играет ВсеФМ :)<br>"}) {
    f.lblMessage->Append(QString::fromUtf8(line));
  }
  GrabWidget(&main_window, "main-window");

  main_window.Alert().SetText("<b>ALLFM</b> - Кино<br>7");
  main_window.Alert().Show();
  // The pop-up hides itself 500 ms after it shows: grab it well before that.
  Grab(main_window.Alert().frameGeometry(), "alert", 150);

  QWidget* hinted = f.spSkinButton2;
  QToolTip::showText(hinted->mapToGlobal(hinted->rect().center()),
                     kalvira::ui::HintText(hinted->property("hint").toString()), hinted);
  Settle();
  const QRect hint_area(hinted->mapToGlobal(QPoint(-200, -150)), QSize(480, 200));
  Grab(hint_area.intersected(QGuiApplication::primaryScreen()->geometry()), "hint");
  QToolTip::hideText();

  for (auto [menu, button, name] :
       {std::tuple{&main_window.StationMenu(), static_cast<QWidget*>(f.spSkinMenuButton1),
                   "station-menu"},
        std::tuple{&main_window.VoteMenu(), static_cast<QWidget*>(f.spSkinMenuButton2),
                   "vote-menu"}}) {
    const QSize size = menu->sizeHint();
    const QPoint at = button->mapToGlobal(QPoint(0, -size.height()));
    menu->popup(at);
    Settle();
    Grab(menu->frameGeometry().united(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())),
         name);
    menu->hide();
  }

  GrabModal("message-box", [&] {
    kalvira::MessageBoxRequest vote;
    vote.text = "Ваш голос учтен";
    vote.caption = "Голосование";
    vote.picture = 8;
    main_window.MessageBox().Show(vote);
  });
  GrabModal("message-box-error", [&] {
    kalvira::MessageBoxRequest error;
    error.text = "Unable to write to /home/listener/.local/share/kalvira/rallfm.lfm";
    error.kind = kalvira::MessageKind::kError;
    main_window.MessageBox().Show(error);
  });
  GrabModal("filename", [&] { filename.exec(); });

  // The music scan's windows as a search shows them midway.
  search_dialog.Form().Label3->setText("Поиск новой музыки...");
  search_dialog.Form().bprStatus->setText("1287");
  search_dialog.tmrVisible().stop();
  search_dialog.Form().lblVC->setVisible(true);
  search_dialog.show();
  GrabWidget(&search_dialog, "search-dialog");
  search_dialog.hide();
  genre_list.Form().pb->SetMaxValue(1287);
  genre_list.Form().pb->SetValue(540);
  genre_list.show();
  GrabWidget(&genre_list, "genre-list");
  genre_list.hide();

  // The online windows, filled as a listener meets them (no service is asked).
  kalvira::ui::THtmlLabel& room = online.frmChat.lblHTMLLAber();
  for (const QString& line : f.lblMessage->Lines()) room.Append(line);
  room.Append(QString::fromUtf8("Гость: <img src=x> <script>alert(1)</script> &amp;<br>"));
  online.frmChat.ShowRoom();
  GrabWidget(&online.frmChat, "chat");
  online.frmChat.hide();

  online.frmMessageSend.Form().editNick->setText("listener@example.org");
  online.frmMessageSend.Form().editMessage->setText(QString::fromUtf8("Поставьте Кино!"));
  GrabModal("message-send", [&] { online.frmMessageSend.exec(); });
  online.frmMessageSend.Logic().Send("listener@example.org", "x");
  online.frmMessageSend.tmrMessageTime().stop();
  online.frmMessageSend.tmrMessageTimeTimer();
  GrabModal("message-send-wait", [&] { online.frmMessageSend.exec(); });

  GrabModal("zamra-store", [&] { online.frmZamraStore.exec(); });
  online.frmZamraStore.EnableCabinetButtons();
  online.frmAddonsUtil.SetItems(
      {{"Эквалайзер", "120 Kb", "1.0", "https://example.org/eq.zip"},
       {"Ночная тема оформления", "48 Kb", "2.1", "https://example.org/night.zip"},
       {"<b>Подкасты</b>", "1024 Kb", "0.9 beta", "https://example.org/podcasts.zip"}});
  online.frmAddonsUtil.Form().lvPlugins->selectRow(1);
  GrabModal("addons-util", [&] { online.frmAddonsUtil.exec(); });
  // The login window asks the settings for remembered values when shown: the first use
  // warns about them, and that box comes first.
  GrabModal("authorize-warning", [&] {
    QTimer::singleShot(1200, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        Grab(modal->frameGeometry(), "authorize");
        modal->close();
      }
    });
    online.frmAuthorize.exec();
  });

  return failures == 0 ? 0 : 1;
}
