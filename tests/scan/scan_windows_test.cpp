// The scan's two windows and the main window's hooks, on Qt's offscreen platform: the
// first-run scan at start when rallfm.lfm is missing, the search button with its count
// box, a second press refused, the windows' layouts and the blinking label, and a save
// that fails reaching the general error report.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/error_report.h"
#include "app/main_window.h"
#include "audio/sound_device.h"
#include "radio/settings_keys.h"
#include "tests/app/app_test_support.h"
#include "tests/scan/scan_fixture.h"
#include "ui/forms/genre_list_form.h"
#include "ui/forms/search_dialog.h"
#include "ui/skin_button.h"
#include "ui_genre_list_form.h"
#include "ui_main_window.h"
#include "ui_search_dialog.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

class ScanWindowsTest : public ::testing::Test {
 protected:
  ScanWindowsTest() { app_.setStyleSheet({}); }

  std::unique_ptr<TfrmKalviraMain> MakeWindow() {
    TfrmKalviraMain::Options options;
    options.program_dir = c_.Program().Dir();
    options.device = MakeWavFileSoundDevice(c_.Program().File("out.wav"));
    options.message_box = &c_.box;
    options.beeper = &c_.beeper;
    options.terminate = [](int) {};
    options.start_wait = std::chrono::milliseconds(0);
    options.drives = std::vector<TDrive>{{c_.Drive(), false}};
    auto window = std::make_unique<TfrmKalviraMain>(std::move(options));
    TProgramWindows windows;
    windows.frmSearchDialog = &search_;
    windows.frmMP3ID3TagByGenreGenerateList = &sorting_;
    window->AttachWindows(windows);
    return window;
  }

  // What the windows show while the scan runs, noted by a timer the scan's pumping runs.
  struct Seen {
    bool search_shown = false;
    QString label3;
    QString status;
    bool sorting_shown = false;
    int gauge_max = -1;
    int ticks = 0;
  };
  void Watch(Seen& seen, const std::function<void()>& during = {}) {
    timer_.setInterval(0);  // at every pass of the event loop the scan lets run
    timer_.callOnTimeout([this, &seen, during] {
      ++seen.ticks;
      if (search_.isVisible()) {
        seen.search_shown = true;
        seen.label3 = search_.Form().Label3->text();
        seen.status = search_.Form().bprStatus->text();
      }
      if (sorting_.isVisible()) {
        seen.sorting_shown = true;
        seen.gauge_max = sorting_.Form().pb->MaxValue();
      }
      if (during) during();
    });
    timer_.start();
  }

  TKalviraApplication& app_ = testing::AppForTests();  // before any widget
  testing::MusicCollection c_;
  TfrmSearchDialog search_;
  TfrmMP3ID3TagByGenreGenerateList sorting_;
  QTimer timer_;
};

TEST_F(ScanWindowsTest, TheWindowsAsLaidOut) {
  Ui::TfrmSearchDialog& s = search_.Form();
  EXPECT_EQ(search_.ClientSize(), QSize(413, 151));
  EXPECT_EQ(search_.Caption(), " Поиск музыки");
  EXPECT_EQ(search_.CaptionButtonsShown(), ui::kNoCaptionButtons);
  EXPECT_EQ(s.Label3->text(), "Поздравляем, вы успешно установили  программу");
  EXPECT_EQ(s.Label1->text(), "Сейчас программа ищет музыку на вашем компьютере");
  EXPECT_EQ(s.Label2->text(), "Уже найдено файлов:");
  EXPECT_EQ(s.bprStatus->text(), "0");
  EXPECT_TRUE(s.bprStatus->font().bold());
  EXPECT_GT(s.bprStatus->font().pointSize(), s.Label2->font().pointSize());
  EXPECT_EQ(s.lblVC->text(), "Ждите...");
  for (QLabel* label : {s.Label3, s.Label1, s.Label2, s.bprStatus, s.lblVC}) {
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter) << label->objectName().toStdString();
  }
  EXPECT_EQ(search_.tmrVisible().interval(), 750);
  EXPECT_TRUE(search_.tmrVisible().isActive()) << "always enabled";

  Ui::TfrmMP3ID3TagByGenreGenerateList& g = sorting_.Form();
  EXPECT_EQ(sorting_.ClientSize(), QSize(255, 86));
  EXPECT_FALSE(sorting_.Caption().trimmed().isEmpty());
  EXPECT_EQ(sorting_.CaptionButtonsShown(), ui::kNoCaptionButtons);
  EXPECT_EQ(g.Label1->text(), "Подождите еще чуть-чуть...");
  EXPECT_EQ(g.pb->size(), QSize(201, 22));

  // Each shows centred on the screen.
  for (QWidget* window : {static_cast<QWidget*>(&search_), static_cast<QWidget*>(&sorting_)}) {
    window->show();
    ASSERT_TRUE(testing::ProcessEventsUntil([&] { return window->isVisible(); }));
    const QRect area = window->screen()->availableGeometry();
    EXPECT_LE(std::abs(window->frameGeometry().center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(window->frameGeometry().center().y() - area.center().y()), 1);
    window->hide();
  }
}

TEST_F(ScanWindowsTest, TheWaitLabelBlinksAtEveryTick) {
  QLabel& label = *search_.Form().lblVC;
  search_.show();
  for (int flip = 0; flip < 2; ++flip) {
    const bool hidden = label.isHidden();
    ASSERT_TRUE(testing::ProcessEventsUntil([&] { return label.isHidden() != hidden; }));
  }
  search_.hide();
}

// rallfm.lfm missing: the start runs the first-run scan before the jingle; the greeting
// stays in Label3, both windows come and go, the lists and FirstLoaded are written.
TEST_F(ScanWindowsTest, AFirstStartWithoutListsBuildsThemAndPlays) {
  c_.Genre("Rock", "ULTRA");
  const std::string rock = c_.TaggedBy("a/rock.mp3", "id3v2 -2 --TCON Rock");
  const std::string plain = c_.Untagged("b/plain.mp3");
  auto window = MakeWindow();
  Seen seen;
  Watch(seen);
  window->Start();
  timer_.stop();
  EXPECT_TRUE(seen.search_shown);
  EXPECT_EQ(seen.label3, "Поздравляем, вы успешно установили  программу");
  EXPECT_TRUE(seen.sorting_shown);
  EXPECT_EQ(seen.gauge_max, 2);
  EXPECT_FALSE(search_.isVisible());
  EXPECT_FALSE(sorting_.isVisible());
  EXPECT_EQ(search_.Form().bprStatus->text(), "2");
  EXPECT_EQ(c_.List("rultra.lfm"), Paths{rock});
  EXPECT_EQ(c_.List("rallfm.lfm").size(), 2u);
  EXPECT_EQ(c_.Program().Settings().ReadConfigValue(settings::kFirstLoaded), "0");
  EXPECT_TRUE(c_.box.requests.empty());
  EXPECT_EQ(window->Radio().CurrentStation(), "ALLFM");
  // The jingle is missing, so the music of ALLFM follows at once.
  ASSERT_TRUE(testing::ProcessEventsUntil([&] {
    const std::string file = window->Radio().CurrentFile();
    return file == rock || file == plain;
  }));
}

// The search button: Label3 says so, the count box names the files added; a second press
// while the search runs does nothing.
TEST_F(ScanWindowsTest, TheSearchButtonAddsNewFilesAndShowsTheCount) {
  const std::string old_track = c_.Untagged("old.mp3");
  c_.Program().WriteList("rallfm.lfm", {old_track});
  auto window = MakeWindow();
  window->Start();
  ASSERT_TRUE(
      testing::ProcessEventsUntil([&] { return window->Radio().CurrentFile() == old_track; }));
  const std::uint64_t starts = window->Radio().Starts();
  for (const char* name : {"new/1.mp3", "new/2.mp3"}) c_.Untagged(name);
  ui::TSkinButton* button = window->Form().spSkinButton4;
  EXPECT_EQ(button->property("hint").toString(), "Поиск новой музыки");

  Seen seen;
  bool pressed_again = false;
  Watch(seen, [&] {
    if (!pressed_again && window->MusicScan().Running()) {
      pressed_again = true;
      QTest::mouseClick(button, Qt::LeftButton);
    }
  });
  QTest::mouseClick(button, Qt::LeftButton);
  timer_.stop();
  EXPECT_TRUE(pressed_again);
  EXPECT_GT(seen.ticks, 0) << "the window thread went on during the search";
  EXPECT_EQ(seen.label3, "Поиск новой музыки...");
  EXPECT_EQ(seen.gauge_max, 3);
  ASSERT_EQ(c_.box.requests.size(), 1u) << "one search, one box";
  EXPECT_EQ(c_.box.requests[0].text, "В коллекцию добавлено: 2 файлов");
  EXPECT_EQ(c_.box.requests[0].kind, MessageKind::kInformation);
  EXPECT_EQ(c_.List("rallfm.lfm").size(), 3u);
  EXPECT_EQ(window->Radio().CurrentFile(), old_track) << "the track plays on";
  EXPECT_EQ(window->Radio().Starts(), starts);
  EXPECT_FALSE(search_.isVisible());
  EXPECT_FALSE(sorting_.isVisible());
}

// A list that cannot be replaced: the general error report shows the settings files'
// error, the windows are gone, the old lists are whole, and the next search works.
TEST_F(ScanWindowsTest, ASaveThatFailsReachesTheErrorReport) {
  const std::string old_track = c_.Untagged("old.mp3");
  c_.Program().WriteList("rallfm.lfm", {old_track});
  auto window = MakeWindow();
  window->Start();
  c_.Untagged("new.mp3");
  fs::create_directories(c_.Program().File("rpop.lfm"));
  testing::RecordingMessageBox report;
  SetErrorReportBox(&report);
  QTest::mouseClick(window->Form().spSkinButton4, Qt::LeftButton);
  SetErrorReportBox(nullptr);
  ASSERT_EQ(report.requests.size(), 1u);
  EXPECT_EQ(report.requests[0].kind, MessageKind::kError);
  EXPECT_EQ(report.requests[0].text, "Unable to write to " + c_.Program().File("rpop.lfm"));
  EXPECT_TRUE(c_.box.requests.empty());
  EXPECT_FALSE(search_.isVisible());
  EXPECT_FALSE(sorting_.isVisible());
  fs::remove(c_.Program().File("rpop.lfm"));
  QTest::mouseClick(window->Form().spSkinButton4, Qt::LeftButton);
  ASSERT_EQ(c_.box.requests.size(), 1u);
  EXPECT_EQ(c_.box.requests[0].text, "В коллекцию добавлено: 0 файлов")
      << "the failed search had saved rallfm.lfm already";
}

}  // namespace
}  // namespace kalvira
