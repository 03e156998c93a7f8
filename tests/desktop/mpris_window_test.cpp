// The media player over the main window in this process, on a private bus: a client on a
// connection of its own calls the player, and the window's own state must follow: the
// pause button's caption, the radio's state, the window shown from the tray, the close
// button's end of the process. A click on the window's button is announced to the bus.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QPushButton>
#include <memory>

#include "app/main_window.h"
#include "audio/sound_device.h"
#include "desktop/desktop_entry.h"
#include "desktop/main_window_controls.h"
#include "desktop/mpris_service.h"
#include "tests/app/app_test_support.h"
#include "tests/desktop/mpris_client.h"
#include "tests/desktop/private_bus.h"
#include "tests/radio/radio_fixture.h"
#include "ui_main_window.h"

namespace kalvira {
namespace {

using desktop::TMainWindowControls;
using desktop::TMprisService;

class MprisWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(bus_.Address().empty()) << "dbus-daemon did not start";
    testing::AppForTests().setStyleSheet({});
    // No jingle: the chain's run fails at once and the station's music follows.
    tracks_ = {folder_.MakeTrack("one.mp3", 4.0, {"--tt", "One"}),
               folder_.MakeTrack("two.mp3", 4.0, {"--tt", "Two"}),
               folder_.MakeTrack("never.mp3", 1.0)};
    folder_.WriteList("rallfm.lfm", tracks_);

    window_ = std::make_unique<TfrmKalviraMain>(
        testing::TestWindowOptions(folder_, shell_, box_, exit_codes_));
    controls_ = std::make_unique<TMainWindowControls>(*window_);
    service_ = std::make_unique<TMprisService>(*controls_, desktop::kDesktopEntryId);
    const QString address = QString::fromStdString(bus_.Address());
    ASSERT_TRUE(service_->Register(QDBusConnection::connectToBus(address, "kalvira-player")));
    client_ = std::make_unique<testing::MprisClient>(
        QDBusConnection::connectToBus(address, "kalvira-client"), service_->ServiceName());
    window_->Start();
    ASSERT_TRUE(testing::ProcessEventsUntil([&] {
      return window_->Radio().State() == TRadioCore::PlayState::kPlaying &&
             window_->Radio().CurrentFile().ends_with(".mp3");
    }));
  }
  void TearDown() override {
    client_.reset();
    service_.reset();
    controls_.reset();
    window_.reset();
    QDBusConnection::disconnectFromBus("kalvira-player");
    QDBusConnection::disconnectFromBus("kalvira-client");
  }

  QString Caption() const { return window_->Form().btnPauseOrPlay->text(); }
  TRadioCore::PlayState RadioState() const { return window_->Radio().State(); }

  testing::PrivateBus bus_;
  testing::ProgramFolder folder_;
  testing::RecordingShell shell_;
  testing::RecordingMessageBox box_;
  std::vector<int> exit_codes_;
  std::vector<std::string> tracks_;
  std::unique_ptr<TfrmKalviraMain> window_;
  std::unique_ptr<TMainWindowControls> controls_;
  std::unique_ptr<TMprisService> service_;
  std::unique_ptr<testing::MprisClient> client_;
};

TEST_F(MprisWindowTest, PlaybackCommandsKeepThePauseButtonInStep) {
  using Play = TRadioCore::PlayState;
  struct Step {
    const char* method;
    Play state;
    const char* caption;
    bool new_track;
  };
  // From playing: every command, including the ones that must change nothing.
  const std::vector<Step> steps = {
      {"PlayPause", Play::kPaused, ">", false},    {"Pause", Play::kPaused, ">", false},
      {"PlayPause", Play::kPlaying, "| |", false}, {"Play", Play::kPlaying, "| |", false},
      {"Stop", Play::kPaused, ">", false},         {"Next", Play::kPaused, ">", true},
      {"Play", Play::kPlaying, "| |", false},      {"Next", Play::kPlaying, "| |", true},
      {"Previous", Play::kPlaying, "| |", false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.method);
    const std::uint64_t starts = window_->Radio().Starts();
    const auto reply = client_->Call(testing::kPlayer, step.method);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(RadioState(), step.state);
    EXPECT_EQ(Caption(), step.caption);
    EXPECT_EQ(window_->Radio().PauseCaption(), step.caption);
    EXPECT_EQ(window_->Radio().Starts() != starts, step.new_track);
    EXPECT_EQ(client_->Status(), step.state == Play::kPlaying ? "Playing" : "Paused");
  }
  EXPECT_TRUE(box_.requests.empty());
}

// The listener's own click on the pause button reaches the desktop's controls.
TEST_F(MprisWindowTest, AClickOnTheWindowIsAnnounced) {
  client_->changes.clear();
  window_->Form().btnPauseOrPlay->click();
  EXPECT_TRUE(client_->Until([&] {
    return !client_->changes.empty() &&
           client_->changes.back().value("PlaybackStatus").toString() == "Paused";
  }));
  EXPECT_EQ(client_->Status(), "Paused");
}

TEST_F(MprisWindowTest, RaiseShowsTheWindowFromTheTrayAndQuitIsTheCloseButton) {
  window_->HideToTray();
  ASSERT_FALSE(window_->isVisible());
  ASSERT_TRUE(client_->Call(testing::kRoot, "Raise"));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(exit_codes_.empty());

  const auto reply = client_->Call(testing::kRoot, "Quit");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(exit_codes_, std::vector<int>{0});
}

}  // namespace
}  // namespace kalvira
