// The online windows offscreen, over the main window and the private server: the chat
// feed in both labels, the message window, the login, the cabinet, the plug-in list and
// the update check of the start sequence. Boxes, the shell, the tone and the end of the
// process are answered by recorders; rows are read back with the mariadb client.
#include "app/online_windows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "app/error_report.h"
#include "app/main_window.h"
#include "audio/sound_device.h"
#include "base/exception.h"
#include "online/credential_cipher.h"
#include "online/online_texts.h"
#include "online/service_config.h"
#include "platform/profile.h"
#include "radio/settings_keys.h"
#include "tests/app/app_test_support.h"
#include "tests/online/service_fixture.h"
#include "ui/hint.h"
#include "ui/skin_button.h"
#include "ui_addons_util_form.h"
#include "ui_authorize_form.h"
#include "ui_chat_form.h"
#include "ui_main_window.h"
#include "ui_message_send_form.h"
#include "ui_zamra_store_form.h"

namespace kalvira {
namespace {

// Types `text` into `widget` one character at a time, as the keyboard delivers it (a
// key press carrying the character), whatever the keyboard layout would need for it.
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

class OnlineWindowsTest : public testing::ServiceTest {
 protected:
  OnlineWindowsTest() { testing::AppForTests().setStyleSheet({}); }

  void SetUp() override {
    ServiceTest::SetUp();
    SetErrorReportBox(&box_);
  }
  void TearDown() override {
    SetErrorReportBox(nullptr);
    online_.reset();
    window_.reset();
    ServiceTest::TearDown();
  }

  void SetConfig(std::string_view key, const std::string& value) {
    WriteProfileString(folder_.File("config.ini"), settings::kConfigSection, key, value);
  }

  // The main window and the online windows, created as the program does; Start runs the
  // start sequence.
  void Make() {
    const std::filesystem::path skin =
        std::filesystem::path(std::getenv("KALVIRA_SOURCE_DIR")) / "data/skins/kalvira.qss";
    SetConfig(settings::kSkin, skin.string());
    window_ = std::make_unique<TfrmKalviraMain>(
        testing::TestWindowOptions(folder_, shell_, box_, exit_codes_));
    online_ = std::make_unique<TOnlineWindows>(*window_, beeper_);
    TProgramWindows windows;
    online_->AddTo(windows);
    window_->AttachWindows(windows);
  }
  void MakeAndStart() {
    Make();
    window_->Start();
  }

  void AddUser(const std::string& email, const std::string& password, int banned = 0) {
    Sql("INSERT INTO ut_users (email, password, is_banned) VALUES (" + QuoteSqlText(email) + "," +
        QuoteSqlText(EncryptCredential(password)) + "," + std::to_string(banned) + ")");
  }

  // Runs `open`, which shows a modal window and waits, while `inside` acts on that
  // window; `inside` is expected to close it.
  void WhileModal(const std::function<void()>& open, const std::function<void(QWidget&)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      ran = true;
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) {
        ADD_FAILURE() << "no modal window";
        return;
      }
      inside(*modal);
      if (modal->isVisible()) {
        ADD_FAILURE() << "left open: " << modal->objectName().toStdString();
        modal->close();
      }
    });
    open();
    EXPECT_TRUE(ran);
  }

  // Logs in through the cabinet's "Авторизация" button; a login that is refused is
  // cancelled with "Отмена". Returns whether the login closed the window. An empty
  // address cancels at once.
  bool LogIn(const std::string& email, const std::string& password) {
    bool logged_in = false;
    online_->frmZamraStore.show();
    WhileModal([&] { QTest::mouseClick(Store().spSkinButton1, Qt::LeftButton); },
               [&](QWidget&) {
                 if (!email.empty()) {
                   Auth().editUsername->setText(QString::fromStdString(email));
                   Auth().editPassword->setText(QString::fromStdString(password));
                   QTest::mouseClick(Auth().spSkinButton1, Qt::LeftButton);
                   logged_in = !online_->frmAuthorize.isVisible();
                 }
                 if (online_->frmAuthorize.isVisible())
                   QTest::mouseClick(Auth().spSkinButton2, Qt::LeftButton);
               });
    return logged_in;
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& r : box_.requests) texts.push_back(r.text);
    return texts;
  }

  Ui::TfrmKalviraMain& Main() { return window_->Form(); }
  Ui::TfrmMessageSend& Send() { return online_->frmMessageSend.Form(); }
  Ui::TfrmAuthorize& Auth() { return online_->frmAuthorize.Form(); }
  Ui::TfrmZamraStore& Store() { return online_->frmZamraStore.Form(); }
  Ui::TfrmAddonsUtil& Addons() { return online_->frmAddonsUtil.Form(); }
  ui::THtmlLabel& Room() { return online_->frmChat.lblHTMLLAber(); }

  testing::RecordingShell shell_;
  testing::RecordingMessageBox box_;
  testing::RecordingBeeper beeper_;
  std::vector<int> exit_codes_;
  std::unique_ptr<TfrmKalviraMain> window_;
  std::unique_ptr<TOnlineWindows> online_;
};

// The windows' frames and texts.
TEST_F(OnlineWindowsTest, WindowsHaveTheirSizesAndTexts) {
  Make();
  const struct {
    ui::TSkinnedDialog* window;
    QSize size;
    const char* caption;
  } windows[] = {
      {&online_->frmMessageSend, {351, 130}, "Отправка сообщения"},
      {&online_->frmZamraStore, {482, 272}, "ZamraStore"},
      {&online_->frmAuthorize, {211, 165}, "Авторизация в ZamraStore..."},
      {&online_->frmAddonsUtil, {515, 205}, "Обзор плагинов"},
      {&online_->frmChat, {517, 328}, "Чат комната"},
  };
  for (const auto& w : windows) {
    EXPECT_EQ(w.window->ClientSize(), w.size) << w.caption;
    EXPECT_EQ(w.window->Caption(), w.caption);
  }
  EXPECT_EQ(Send().editMessage->maxLength(), 41);
  EXPECT_TRUE(Send().editNick->isReadOnly());
  EXPECT_EQ(Send().Label3->text(), "Максимальная длина сообщения 54 символа");
  EXPECT_EQ(Send().editNick->geometry(), QRect(112, 8, 177, 21));
  EXPECT_EQ(Send().btnSend->geometry(), QRect(88, 80, 75, 25));
  EXPECT_EQ(Send().spSkinButton1->size(), QSize(34, 18));
  EXPECT_EQ(Send().spSkinButton1->toolTip(),
            ui::HintText("Запустить мастер авторизации", "Авторизация"));
  EXPECT_FALSE(Send().isSA->isVisibleTo(&online_->frmMessageSend));
  EXPECT_EQ(online_->frmMessageSend.tmrMessageTime().interval(), 1000);
  EXPECT_FALSE(online_->frmMessageSend.tmrMessageTime().isActive());
  EXPECT_EQ(Auth().editPassword->echoMode(), QLineEdit::Password);
  EXPECT_EQ(Store().spSkinGroupBox1->title(), " Информация о личном кабинете ");
  EXPECT_EQ(Store().spSkinGroupBox1->geometry(), QRect(8, 101, 209, 164));
  const struct {
    QWidget* button;
    int y;
    const char* caption;
    int picture;
    bool enabled;
    bool visible;
  } column[] = {
      {Store().spSkinButton1, 101, "Авторизация", 5, true, true},
      {Store().btnS1, 128, "Обзор плагинов", 6, false, true},
      {Store().btnS2, 156, "Обзор шаблонов", 0, false, false},
      {Store().btnS3, 184, "Обзор подкастов", 0, false, false},
      {Store().btnS4, 212, "Новости", 0, false, false},
      {Store().spSkinButton3, 240, "Выйти из личного кабинета", 3, true, true},
  };
  for (const auto& b : column) {
    SCOPED_TRACE(b.caption);
    auto* button = static_cast<ui::TSkinButton*>(b.button);
    EXPECT_EQ(button->geometry(), QRect(258, b.y, 218, 25));
    EXPECT_EQ(button->text(), b.caption);
    EXPECT_EQ(button->Picture(), b.picture);
    EXPECT_EQ(button->isEnabled(), b.enabled);
    EXPECT_EQ(button->isVisibleTo(&online_->frmZamraStore), b.visible);
  }
  QTableWidget& list = *Addons().lvPlugins;
  EXPECT_EQ(list.geometry(), QRect(8, 8, 473, 129));
  EXPECT_EQ(list.columnCount(), 3);
  EXPECT_EQ(list.horizontalHeaderItem(0)->text(), "Название");
  EXPECT_EQ(list.columnWidth(0), 250);
  EXPECT_EQ(list.horizontalHeaderItem(1)->text(), "Размер");
  EXPECT_EQ(list.columnWidth(1), 60);
  EXPECT_EQ(list.horizontalHeaderItem(2)->text(), "Версия");
  EXPECT_EQ(list.columnWidth(2), 60);
  EXPECT_TRUE(list.showGrid());
  EXPECT_EQ(online_->frmChat.Form().spSkinButton1->text(), "Отправить сообщение");
  EXPECT_EQ(online_->frmChat.Form().spSkinButton2->text(), "Закрыть чат");
}

// Neither check nor chat: nothing connects at start; the label is hidden.
TEST_F(OnlineWindowsTest, WithoutCheckOrChatNoConnectionIsOpened) {
  for (const char* check : std::initializer_list<const char*>{"0", "yes", nullptr}) {
    SCOPED_TRACE(check != nullptr ? check : "missing");
    if (check != nullptr) SetConfig(settings::kCheckForUpdate, check);
    Sql("DELETE FROM ut_versions; INSERT INTO ut_versions VALUES (0, 60000000, 'l')");
    MakeAndStart();
    EXPECT_FALSE(window_->Service().dbfncn.Connected());
    EXPECT_FALSE(window_->tmrOnlineChat().isActive());
    EXPECT_FALSE(Main().lblMessage->isVisible());
    EXPECT_FALSE(Main().btnMessageSend->isEnabled());
    EXPECT_TRUE(box_.requests.empty());
    EXPECT_TRUE(exit_codes_.empty());
  }
}

// The update check as start step 12: a newer version ends the program before the chat
// is switched on; an equal one lets the start go on.
TEST_F(OnlineWindowsTest, UpdateCheckRunsBeforeTheChat) {
  SetConfig(settings::kCheckForUpdate, "1");
  SetConfig(settings::kOnlineChat, "1");
  Sql("INSERT INTO ut_versions VALUES (0, 50100105, 'https://example.org/kalvira')");
  box_.answer = MessageResult::kYes;
  MakeAndStart();
  EXPECT_EQ(exit_codes_, std::vector<int>{0});
  EXPECT_EQ(shell_.urls, std::vector<std::string>{"https://example.org/kalvira"});
  EXPECT_FALSE(window_->tmrOnlineChat().isActive());

  Sql("UPDATE ut_versions SET version = 50091215");
  exit_codes_.clear();
  box_.requests.clear();
  MakeAndStart();
  EXPECT_TRUE(exit_codes_.empty());
  EXPECT_TRUE(box_.requests.empty());
  EXPECT_TRUE(window_->tmrOnlineChat().isActive());
  EXPECT_TRUE(Log().empty());
}

// The feed: no fetch at start, then both labels get the same lines, newest first;
// markup a listener typed shows as text while the hidden mode's nick shows red bold.
TEST_F(OnlineWindowsTest, ChatFeedFillsBothLabelsAndShowsHostileTextAsText) {
  SetConfig(settings::kOnlineChat, "1");
  std::string nested;
  for (int i = 0; i < 1000; ++i) nested += "<i>";
  Sql("INSERT INTO ut_messages (user, message) VALUES "
      "('first', 'hello'),"
      "('<B><FONT color=\"#FF0000\">admin@example.org</FONT></b>', 'Привет'),"
      "('<img src=http://x/a.png>', '<a href=\"http://x\">y</a><script>alert(1)</script>"
      "<style>*{}</style>&amp;&lt;" +
      nested + "')");
  MakeAndStart();
  EXPECT_TRUE(Main().lblMessage->isVisible());
  ASSERT_TRUE(window_->tmrOnlineChat().isActive());
  EXPECT_EQ(window_->tmrOnlineChat().interval(), 25000);
  EXPECT_GT(window_->tmrOnlineChat().remainingTime(), 20000);
  EXPECT_TRUE(Main().lblMessage->Lines().isEmpty());
  EXPECT_FALSE(window_->Service().dbfncn.Connected());

  window_->FetchChatMessages();
  const QStringList& lines = Main().lblMessage->Lines();
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[0].startsWith("<img src=http://x/a.png>: <a href="));
  EXPECT_EQ(lines[1], "<B><FONT color=\"#FF0000\">admin@example.org</FONT></b>: Привет<br>");
  EXPECT_EQ(lines[2], "first: hello<br>");
  EXPECT_EQ(Room().Lines(), lines);
  for (const ui::THtmlLabel* label : {Main().lblMessage, &Room()}) {
    const QString shown = label->RenderedText();
    EXPECT_TRUE(shown.contains("<b><font color=\"#ff0000\">admin@example.org</font></b>"))
        << shown.toStdString().substr(0, 300);
    EXPECT_TRUE(shown.contains("&lt;img src=http://x/a.png&gt;"));
    EXPECT_TRUE(shown.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_TRUE(shown.contains("&lt;style&gt;"));
    EXPECT_TRUE(shown.contains("&amp;amp;&amp;lt;"));
    EXPECT_FALSE(shown.contains("<img"));
    EXPECT_FALSE(shown.contains("<a "));
    EXPECT_FALSE(shown.contains("<i>"));
  }
  EXPECT_TRUE(window_->tmrOnlineChat().isActive());

  // A click on the label shows the room without making it modal; "Закрыть чат" hides it.
  QTest::mouseClick(Main().lblMessage, Qt::LeftButton);
  EXPECT_TRUE(online_->frmChat.isVisible());
  EXPECT_FALSE(online_->frmChat.isModal());
  QTest::mouseClick(online_->frmChat.Form().spSkinButton2, Qt::LeftButton);
  EXPECT_FALSE(online_->frmChat.isVisible());
  // The room is refreshed while hidden.
  Sql("DELETE FROM ut_messages");
  window_->FetchChatMessages();
  EXPECT_TRUE(Room().Lines().isEmpty());
  EXPECT_TRUE(window_->tmrOnlineChat().isActive());  // an empty table is no failure
  EXPECT_TRUE(Log().empty());
}

// The server stops while the feed runs: labels emptied, one entry, both buttons off, and
// no further fetch once it is back.
TEST_F(OnlineWindowsTest, StoppedServerSwitchesTheFeedOffForTheRun) {
  SetConfig(settings::kOnlineChat, "1");
  Sql("INSERT INTO ut_messages (user, message) VALUES ('a', 'b')");
  MakeAndStart();
  window_->FetchChatMessages();
  ASSERT_EQ(Main().lblMessage->Lines().size(), 1);
  StopServer();
  window_->FetchChatMessages();
  EXPECT_TRUE(Main().lblMessage->Lines().isEmpty());
  EXPECT_TRUE(Room().Lines().isEmpty());
  EXPECT_EQ(Log(), std::vector<std::string>{std::string(online_texts::kChatFeedFailed)});
  EXPECT_FALSE(Main().btnMessageSend->isEnabled());
  EXPECT_FALSE(Main().btnManagers->isEnabled());
  EXPECT_FALSE(window_->tmrOnlineChat().isActive());
  EXPECT_TRUE(box_.requests.empty());
  RestartServer();
  QTest::qWait(50);
  EXPECT_FALSE(window_->tmrOnlineChat().isActive());
}

// The tool bar opens the message window and the cabinet modally; the chat room's button
// opens the message window over the room.
TEST_F(OnlineWindowsTest, ButtonsOpenTheirWindows) {
  SetConfig(settings::kOnlineChat, "1");
  MakeAndStart();
  const struct {
    QWidget* button;
    QWidget* window;
  } cases[] = {
      {Main().btnMessageSend, &online_->frmMessageSend},
      {Main().btnManagers, &online_->frmZamraStore},
      {online_->frmChat.Form().spSkinButton1, &online_->frmMessageSend},
  };
  online_->frmChat.ShowRoom();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.window->objectName().toStdString());
    WhileModal([&] { QTest::mouseClick(c.button, Qt::LeftButton); },
               [&](QWidget& modal) {
                 EXPECT_EQ(&modal, c.window);
                 static_cast<QDialog&>(modal).reject();
               });
  }
  EXPECT_TRUE(online_->frmChat.isVisible());
}

// When even the log entry cannot be written, the feed is off all the same, so the
// general report shows that once and not at every tick.
TEST_F(OnlineWindowsTest, RefusedLogEntryStillSwitchesTheFeedOff) {
  Make();
  window_->tmrOnlineChat().start();
  std::filesystem::remove(folder_.File("config.ini"));
  std::filesystem::create_symlink("loop", folder_.File("config.ini"));
  std::filesystem::create_symlink("config.ini", folder_.File("loop"));
  StopServer();
  EXPECT_THROW(window_->FetchChatMessages(), Exception);
  EXPECT_FALSE(window_->tmrOnlineChat().isActive());
  EXPECT_FALSE(Main().btnMessageSend->isEnabled());
  EXPECT_FALSE(Main().btnManagers->isEnabled());
}

// The key filter, the limit of 41 and the hidden mode, typed with the keyboard.
TEST_F(OnlineWindowsTest, MessageEditTakesOnlyTheAllowedCharacters) {
  Make();
  online_->frmMessageSend.show();
  QLineEdit& edit = *Send().editMessage;
  Type(&edit, "abcXYZ\"'<>-_ёЁ;&");
  EXPECT_EQ(edit.text(), "");
  Type(&edit, "Привет, мир!");
  EXPECT_EQ(edit.text(), "Привет, мир!");
  QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_EQ(edit.text(), "Привет, мир");
  QTest::keyClick(&edit, Qt::Key_F8);
  EXPECT_TRUE(beeper_.tones.empty());
  // Paste and the keyboard's paste are held to the same characters.
  edit.clear();
  edit.insert("<script>");
  EXPECT_EQ(edit.text(), "");
  edit.clear();
  Type(&edit, QString(41, QChar(u'ж')));
  Type(&edit, "ж");
  EXPECT_EQ(edit.text().size(), 41);

  edit.clear();
  Type(&edit, "36фывжэдл2э");
  QTest::keyClick(&edit, Qt::Key_F8);
  EXPECT_EQ(beeper_.tones, (std::vector<std::pair<unsigned, unsigned>>{{1700, 150}}));
  EXPECT_TRUE(Send().isSA->isChecked());
  EXPECT_EQ(edit.maxLength(), 1024);
  EXPECT_EQ(edit.text(), "36фывжэдл2э");  // the phrase stays
  Type(&edit, "<b>Latin ё</b>");
  EXPECT_EQ(edit.text(), "36фывжэдл2э<b>Latin ё</b>");
}

// From a login to a stored row: the nick is the whole address, the message goes out as
// typed, the window closes, the wait counts down and the nick edit stays disabled.
TEST_F(OnlineWindowsTest, SendAfterLoginStoresTheRowAndStartsTheWait) {
  const std::string email = "long.address.of.a.listener@example.org";
  AddUser(email, "pw");
  Make();
  online_->frmMessageSend.show();
  Type(Send().editMessage, "Привет");
  QTest::mouseClick(Send().btnSend, Qt::LeftButton);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Вы не указали ваш ник в чате !"});
  EXPECT_TRUE(online_->frmMessageSend.isVisible());

  // The login started from the message window fills the nick by the time it closes.
  box_.requests.clear();
  WhileModal([&] { QTest::mouseClick(Send().spSkinButton1, Qt::LeftButton); },
             [&](QWidget&) {
               Auth().editUsername->setText(QString::fromStdString(email));
               Auth().editPassword->setText("pw");
               QTest::mouseClick(Auth().spSkinButton1, Qt::LeftButton);
             });
  EXPECT_EQ(Send().editNick->text().toStdString(), email);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                            "Некоторые данные, сохраненные в прошлый \n\rраз, были испорчены. "
                            "Введите EMAIL и пароль заново."});

  QTest::mouseClick(Send().btnSend, Qt::LeftButton);
  EXPECT_FALSE(online_->frmMessageSend.isVisible());
  EXPECT_EQ(Sql("SELECT user, message FROM ut_messages"), email + "\tПривет\n");
  EXPECT_FALSE(Send().editNick->isEnabled());
  EXPECT_TRUE(online_->frmMessageSend.tmrMessageTime().isActive());
  EXPECT_FALSE(Send().btnSend->isEnabled());
  EXPECT_EQ(Send().editMessage->text(), "Привет");  // not cleared
  for (int second = 1; second <= 30; ++second) online_->frmMessageSend.tmrMessageTimeTimer();
  EXPECT_EQ(Send().btnSend->text(), "Жди (30) сек");
  EXPECT_FALSE(Send().btnSend->isEnabled());
  for (int second = 31; second <= 60; ++second) online_->frmMessageSend.tmrMessageTimeTimer();
  EXPECT_EQ(Send().btnSend->text(), "Отправить");
  EXPECT_TRUE(Send().btnSend->isEnabled());
  EXPECT_FALSE(online_->frmMessageSend.tmrMessageTime().isActive());
}

// Hidden mode: the nick is stored in its markup, and a quote in the message unchanged.
TEST_F(OnlineWindowsTest, HiddenModeStoresTheNickMarkup) {
  AddUser("me@example.org", "pw");
  Make();
  LogIn("me@example.org", "pw");
  online_->frmMessageSend.show();
  Type(Send().editMessage, "36фывжэдл2э");
  QTest::keyClick(Send().editMessage, Qt::Key_F8);
  Send().editMessage->clear();
  Type(Send().editMessage, "it's \\ <b>ok</b>");
  QTest::mouseClick(Send().btnSend, Qt::LeftButton);
  EXPECT_EQ(Sql("SELECT user, message FROM ut_messages"),
            "<B><FONT color=\"#FF0000\">me@example.org</FONT></b>\tit's \\\\ <b>ok</b>\n");
  EXPECT_EQ(Sql("SELECT HEX(message) FROM ut_messages"),
            testing::HexBytes("it's \\ <b>ok</b>") + "\n");
}

// The cabinet: the plug-in button after a login, the access rule after a cancelled
// login, and the list with its sizes and links.
TEST_F(OnlineWindowsTest, CabinetOpensThePluginsOnlyAfterALogin) {
  AddUser("me@example.org", "Пароль");
  AddUser("banned@example.org", "x", 1);
  Sql("INSERT INTO ut_plugins (name, size, version, link) VALUES "
      "('Эквалайзер', 120, '1.0', 'https://example.org/eq.zip'),"
      "('<b>Skin</b>', 7, '2', 'https://example.org/skin')");
  Make();
  online_->frmZamraStore.show();
  EXPECT_FALSE(Store().btnS1->isEnabled());
  EXPECT_FALSE(LogIn("banned@example.org", "x"));
  EXPECT_EQ(BoxTexts().back(), "Пользователю \"banned@example.org\" запрещен доступ");
  EXPECT_FALSE(LogIn("me@example.org", "пароль"));
  EXPECT_EQ(BoxTexts().back(), "Не верный пароль!");
  EXPECT_FALSE(Store().btnS1->isEnabled());

  ASSERT_TRUE(LogIn("me@example.org", "Пароль"));
  for (QWidget* b : {Store().btnS1, Store().btnS2, Store().btnS3, Store().btnS4})
    EXPECT_TRUE(b->isEnabled());
  EXPECT_FALSE(Store().btnS2->isVisible());
  EXPECT_EQ(folder_.Settings().ReadConfigValue(settings::kUserName), "me@example.org");
  EXPECT_EQ(folder_.Settings().ReadConfigValue(settings::kPassword), EncryptCredential("Пароль"));
  EXPECT_EQ(Send().editNick->text(), "me@example.org");

  auto open_list = [&](const std::function<void()>& inside) {
    WhileModal([&] { QTest::mouseClick(Store().btnS1, Qt::LeftButton); },
               [&](QWidget& modal) {
                 EXPECT_EQ(&modal, &online_->frmAddonsUtil);
                 inside();
                 QTest::mouseClick(Addons().spSkinButton2, Qt::LeftButton);
               });
  };
  open_list([&] {
    QTableWidget& list = *Addons().lvPlugins;
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.item(0, 0)->text(), "Эквалайзер");
    EXPECT_EQ(list.item(0, 1)->text(), "120 Kb");
    EXPECT_EQ(list.item(0, 2)->text(), "1.0");
    EXPECT_EQ(list.item(1, 0)->text(), "<b>Skin</b>");  // as text
    QTest::mouseClick(Addons().spSkinButton1, Qt::LeftButton);
    EXPECT_TRUE(shell_.urls.empty());  // nothing selected
    list.selectRow(1);
    QTest::mouseClick(Addons().spSkinButton1, Qt::LeftButton);
    EXPECT_EQ(shell_.urls, std::vector<std::string>{"https://example.org/skin"});
  });
  // Read again at every opening.
  Sql("INSERT INTO ut_plugins (name, size, version, link) VALUES ('new', 1, '1', 'l')");
  open_list([&] { EXPECT_EQ(Addons().lvPlugins->rowCount(), 3); });

  // A cancelled login locks the list until the next successful one.
  EXPECT_FALSE(LogIn("", ""));
  EXPECT_TRUE(Store().btnS1->isEnabled());
  box_.requests.clear();
  QTest::mouseClick(Store().btnS1, Qt::LeftButton);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Ошибка уровня доступа"});
  EXPECT_EQ(box_.requests[0].kind, MessageKind::kError);
  EXPECT_FALSE(Store().btnS1->isEnabled());
  ASSERT_TRUE(LogIn("me@example.org", "Пароль"));
  EXPECT_TRUE(Store().btnS1->isEnabled());
  open_list([&] { EXPECT_EQ(Addons().lvPlugins->rowCount(), 3); });

  // A list that cannot be read goes to the general error report; no window opens.
  Sql("DROP TABLE ut_plugins");
  box_.requests.clear();
  QTest::mouseClick(Store().btnS1, Qt::LeftButton);
  ASSERT_EQ(box_.requests.size(), 1u);
  EXPECT_NE(box_.requests[0].text.find("ut_plugins"), std::string::npos) << box_.requests[0].text;
  EXPECT_FALSE(online_->frmAddonsUtil.isVisible());
  EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace kalvira
