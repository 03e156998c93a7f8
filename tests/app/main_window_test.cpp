// The main window on Qt's offscreen platform over a real chain: real MP3 files, the WAV
// device, a program folder of the test's own; the shell, the message box and the end of
// the process answered by recorders.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <filesystem>

#include "app/error_report.h"
#include "app/main_window_texts.h"
#include "audio/sound_device.h"
#include "platform/profile.h"
#include "radio/settings_keys.h"
#include "tests/app/app_test_support.h"
#include "tests/radio/radio_fixture.h"
#include "ui/forms/filename_form.h"
#include "ui/skin_button.h"
#include "ui/skin_menu_button.h"
#include "ui_filename_form.h"
#include "ui_main_window.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;
using testing::ProgramFolder;

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { testing::AppForTests().setStyleSheet({}); }

  void SetConfig(std::string_view key, const std::string& value) {
    WriteProfileString(folder_.File("config.ini"), settings::kConfigSection, key, value);
  }

  std::unique_ptr<TfrmKalviraMain> MakeWindow() {
    return std::make_unique<TfrmKalviraMain>(
        testing::TestWindowOptions(folder_, shell_, box_, exit_codes_));
  }

  ProgramFolder folder_;
  testing::RecordingShell shell_;
  testing::RecordingMessageBox box_;
  std::vector<int> exit_codes_;
};

// No config.ini at all: unskinned, one log entry (which creates the file), the default
// captions, no picture, no chat label, no message button, no fading.
TEST_F(MainWindowTest, StartsWithoutAnySettings) {
  auto window = MakeWindow();
  window->Start();
  Ui::TfrmKalviraMain& f = window->Form();
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
  EXPECT_EQ(folder_.LogMessages(),
            std::vector<std::string>{"Не возможно открыть шаблон программы."});
  EXPECT_EQ(window->Caption(), "Kalvira 5");
  EXPECT_EQ(f.gpbIdent->title(), "Интеллектуальное радио");
  EXPECT_TRUE(f.bkgImage->pixmap().isNull());
  EXPECT_FALSE(f.lblMessage->isVisible());
  EXPECT_FALSE(f.btnMessageSend->isEnabled());
  EXPECT_TRUE(f.spSkinButton1->isEnabled());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(window.get(), &leave);
  EXPECT_FALSE(window->AlphaBlend());
  EXPECT_EQ(window->Radio().CurrentStation(), "ALLFM");
  // The jingle's path is given to the input, though no file is there.
  EXPECT_EQ(window->Radio().CurrentFile(), folder_.Dir() + "templates/");
}

TEST_F(MainWindowTest, StartSequenceAppliesTheSettings) {
  const fs::path source = fs::path(std::getenv("KALVIRA_SOURCE_DIR")) / "data";
  fs::create_directories(folder_.File("skins"));
  fs::copy_file(source / "skins" / "kalvira.qss", folder_.File("skins/kalvira.qss"));
  fs::copy_file(source / "pictures" / "background.png", folder_.File("logo.png"));
  SetConfig(settings::kSkin, folder_.File("skins/kalvira.qss"));
  SetConfig(settings::kFormCaption, "Моё радио");
  SetConfig(settings::kSenderCaption, "Эфир");
  SetConfig(settings::kBackgroundLogo, folder_.File("logo.png"));
  SetConfig(settings::kOnlineChat, "0");
  auto window = MakeWindow();
  window->Start();
  EXPECT_FALSE(qApp->styleSheet().isEmpty());
  EXPECT_EQ(window->Caption(), "Моё радио");
  EXPECT_EQ(window->Form().gpbIdent->title(), "Эфир");
  EXPECT_EQ(window->Form().bkgImage->pixmap().size(), QSize(429, 116));
  EXPECT_EQ(folder_.LogMessages(), std::vector<std::string>{});
  // Placed at the bottom-right corner of the work area.
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(window->frameGeometry().bottomRight(), area.bottomRight());
}

// A skin or a picture that cannot be used: the log entry for the skin, nothing for the
// picture, and the start goes on to its last step.
TEST_F(MainWindowTest, BadSkinAndBadPictureLeaveThePlainLook) {
  struct Case {
    const char* name;
    std::string skin_bytes;
    std::string picture_name;
    std::string picture_bytes;
  };
  const std::vector<Case> cases = {
      {"garbage", std::string("\x78\x9C\xFF\x00garbage", 11), "logo.png", "not a picture"},
      {"empty", "", "logo.jpg", ""},
      {"huge", std::string(8 * 1024 * 1024, 'a'), "logo.wmf", "metafile"},
      {"unknown picture kind", "\xFF\xFE\xFD", "logo.txt", "text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(folder_.File("config.ini"));
    testing::WriteFileBytes(folder_.File("bad.qss"), c.skin_bytes);
    testing::WriteFileBytes(folder_.File(c.picture_name), c.picture_bytes);
    SetConfig(settings::kSkin, folder_.File("bad.qss"));
    SetConfig(settings::kBackgroundLogo, folder_.File(c.picture_name));
    auto window = MakeWindow();
    window->Start();
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(folder_.LogMessages(),
              std::vector<std::string>{"Не возможно открыть шаблон программы."});
    EXPECT_TRUE(window->Form().bkgImage->pixmap().isNull());
    EXPECT_FALSE(window->Form().lblMessage->isVisible());  // step 13 ran
    EXPECT_TRUE(box_.requests.empty());
  }
}

TEST_F(MainWindowTest, FadesOnlyWhenAlphaBlendIsExactlyOne) {
  auto window = MakeWindow();
  window->Start();
  QCursor::setPos(0, 0);  // away from the window
  for (const char* value : {"true", "yes", "2", " 1x", ""}) {
    SCOPED_TRACE(value);
    SetConfig(settings::kAlphaBlend, value);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(window.get(), &leave);
    EXPECT_FALSE(window->AlphaBlend());
    EXPECT_EQ(window->AlphaBlendValue(), 255);
  }
  // Read at every enter and leave, on the window and on the group box alike.
  SetConfig(settings::kAlphaBlend, " 1 ");
  for (QWidget* target :
       {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(window->Form().gpbIdent)}) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(target, &leave);
    EXPECT_TRUE(window->AlphaBlend());
    EXPECT_EQ(window->AlphaBlendValue(), 122);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_EQ(window->AlphaBlendValue(), 255);
  }
}

TEST_F(MainWindowTest, LayoutMatchesTheRadio) {
  auto window = MakeWindow();
  Ui::TfrmKalviraMain& f = window->Form();
  EXPECT_EQ(window->ClientSize(), QSize(437, 171));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // not resizable
  EXPECT_EQ(f.gpbIdent->geometry(), QRect(3, 3, 431, 165));
  EXPECT_EQ(f.bkgImage->size(), QSize(429, 116));
  EXPECT_EQ(f.lblMessage->size(), QSize(423, 89));
  EXPECT_EQ(f.pnlToolBar->height(), 37);
  EXPECT_EQ(f.pnlToolBar->geometry().bottom(), f.gpbIdent->height() - 1);
  EXPECT_EQ(f.Label1->text(), "Сайт программы https://kalvira.example.org");

  struct Control {
    const char* name;
    int width;
    const char* caption;
    int picture;
    const char* hint;
  };
  const std::vector<Control> controls = {
      {"spSkinMenuButton1", 75, " Радио", 9,
       "Эта кнопка позволит вам выбрать@интеллектуальное радио, созданное из вашей@коллекции "
       "музыкальных файлов"},
      {"btnPauseOrPlay", 30, "| |", 0,
       "Вы можете остановить@ воспроизведение музыки, а затем@продолжить с того же места"},
      {"spSkinButton1", 30, "?", 0,
       "Нажав эту кнопку, вы @можете узнать какая @композиция сейчас играет"},
      {"spSkinButton2", 30, "", 4,
       "Нажав на эту кнопку, @вы сможете сохранить композицию, @которая сейчас играет,@ на "
       "внешний носитель..."},
      {"btnMessageSend", 30, "", 1, "Отправка сообщения на радио"},
      {"btnManagers", 30, "", 2, "Персональный кабинет@зарегистрированного пользователя"},
      {"spSkinButton4", 30, "", 7, "Поиск новой музыки"},
      {"spSkinMenuButton2", 80, " Голос", 8, ""},
      {"spSkinButton3", 30, "", 3, "Закрытие программы"},
  };
  int last_right = -1;
  for (const Control& c : controls) {
    SCOPED_TRACE(c.name);
    auto* widget = f.pnlToolBar->findChild<QAbstractButton*>(c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->size(), QSize(c.width, 29));
    EXPECT_EQ(widget->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(widget->property("picture").toInt(), c.picture);
    EXPECT_EQ(widget->property("hint").toString(), QString::fromUtf8(c.hint));
    EXPECT_GT(widget->x(), last_right);  // left to right, in this order
    last_right = widget->geometry().right();
  }
  EXPECT_LE(last_right, f.pnlToolBar->width() - 1);

  std::vector<std::pair<QString, QString>> items;
  for (QAction* action : window->StationMenu().actions())
    items.emplace_back(action->objectName(), action->text());
  const std::vector<std::pair<QString, QString>> stations = {{"N1", "Радио \"Электро\""},
                                                             {"N2", "Радио \"Ультра\""},
                                                             {"N3", "Радио \"Поп\""},
                                                             {"N4", "Радио \"ВсеФМ\""},
                                                             {"N9", "Радио \"Классик\""}};
  EXPECT_EQ(items, stations);
  ASSERT_EQ(window->VoteMenu().actions().size(), 2);
  EXPECT_EQ(window->VoteMenu().actions()[0]->text(), "ЗА");
  EXPECT_EQ(window->VoteMenu().actions()[1]->text(), "ПРОТИВ");
  EXPECT_EQ(f.spSkinMenuButton1->menu(), &window->StationMenu());
}

TEST_F(MainWindowTest, CloseHidesToTheTrayAndTheMusicGoesOn) {
  const std::string track = folder_.MakeTrack("music/a.mp3", 4.0);
  folder_.WriteList("rallfm.lfm", {track});
  auto window = MakeWindow();
  window->Start();
  ASSERT_TRUE(testing::ProcessEventsUntil([&] { return window->Radio().CurrentFile() == track; }));
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->close());  // refused
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->Radio().State(), TRadioCore::PlayState::kPlaying);
  window->RestoreFromTray();
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(exit_codes_.empty());
  QTest::mouseClick(window->Form().spSkinButton3, Qt::LeftButton);
  EXPECT_EQ(exit_codes_, std::vector<int>{0});
  QTest::mouseClick(window->Form().Label1, Qt::LeftButton);
  EXPECT_EQ(shell_.urls, std::vector<std::string>{"https://kalvira.example.org"});
}

TEST_F(MainWindowTest, CommandsDriveTheRadio) {
  const std::string all = folder_.MakeTrack("all.mp3", 4.0, {"--ta", "Band", "--tn", "3"});
  const std::string pop = folder_.MakeTrack("pop.mp3", 4.0);
  folder_.WriteList("rallfm.lfm", {all});
  folder_.WriteList("rpop.lfm", {pop});
  auto window = MakeWindow();
  window->Start();
  Ui::TfrmKalviraMain& f = window->Form();
  ASSERT_TRUE(testing::ProcessEventsUntil([&] { return window->Radio().CurrentFile() == all; }));

  QTest::mouseClick(f.btnPauseOrPlay, Qt::LeftButton);
  EXPECT_EQ(f.btnPauseOrPlay->text(), ">");
  EXPECT_EQ(window->Radio().State(), TRadioCore::PlayState::kPaused);
  QTest::mouseClick(f.btnPauseOrPlay, Qt::LeftButton);
  EXPECT_EQ(f.btnPauseOrPlay->text(), "| |");

  QTest::mouseClick(f.spSkinButton1, Qt::LeftButton);
  EXPECT_EQ(window->Alert().RenderedText().contains("Band"), true);

  window->StationMenu().findChild<QAction*>("N3");
  for (QAction* action : window->StationMenu().actions()) {
    if (action->objectName() == "N3") action->trigger();
  }
  EXPECT_EQ(window->Radio().CurrentStation(), "POP");
  EXPECT_EQ(window->Radio().CurrentFile(), pop);

  window->VoteMenu().actions()[0]->trigger();
  window->VoteMenu().actions()[1]->trigger();
  window->VoteMenu().actions()[1]->trigger();
  EXPECT_EQ(ReadProfileString(folder_.File("sraiting.ini"), pop, "RAIT"), "-1");
  ASSERT_EQ(box_.requests.size(), 3u);
  EXPECT_EQ(box_.requests[0].picture, 8);
  EXPECT_EQ(box_.requests[2].picture, 10);
}

TEST_F(MainWindowTest, FilenameWindowShowsTheFileAndOpensItsFolder) {
  const std::string track = folder_.MakeTrack("music/rock/it's.mp3", 4.0);
  TfrmFilename filename(shell_, [&] { return track; });
  EXPECT_EQ(filename.ClientSize(), QSize(341, 102));
  EXPECT_EQ(filename.Caption(), "Композиция, которая сейчас звучит");
  EXPECT_EQ(filename.Form().editFilename->width(), 269);
  EXPECT_EQ(filename.Form().Label1->text(), "Файл:");
  EXPECT_EQ(filename.Form().spSkinButton1->text(), "Обзор");
  EXPECT_EQ(filename.Form().spSkinButton2->text(), "OK");
  filename.show();
  EXPECT_EQ(filename.Form().editFilename->text().toStdString(), track);
  QTest::mouseClick(filename.Form().spSkinButton1, Qt::LeftButton);
  // Edited: the folder of what the box holds; a root keeps its "/".
  filename.Form().editFilename->setText("/a.mp3");
  QTest::mouseClick(filename.Form().spSkinButton1, Qt::LeftButton);
  EXPECT_EQ(shell_.folders, (std::vector<std::string>{folder_.Dir() + "music/rock", "/"}));
  EXPECT_EQ(shell_.items, (std::vector<std::string>{track, ""}));
  EXPECT_TRUE(filename.isVisible());  // "Обзор" leaves it open
  QTest::mouseClick(filename.Form().spSkinButton2, Qt::LeftButton);
  EXPECT_FALSE(filename.isVisible());
  filename.show();  // the edit is forgotten
  EXPECT_EQ(filename.Form().editFilename->text().toStdString(), track);
}

// An error no handler catches reaches the general error report and the program goes on.
TEST_F(MainWindowTest, UncaughtErrorsReachTheReport) {
  auto window = MakeWindow();
  SetErrorReportBox(&box_);
  // "?" before any file was given: the input raises; nothing catches it but the report.
  QTest::mouseClick(window->Form().spSkinButton1, Qt::LeftButton);
  SetErrorReportBox(nullptr);
  ASSERT_EQ(box_.requests.size(), 1u);
  EXPECT_EQ(box_.requests[0].kind, MessageKind::kError);
  EXPECT_EQ(box_.requests[0].text, "File name is not assigned");
}

}  // namespace
}  // namespace kalvira
