// The running program on a private session bus, driven by real D-Bus clients (QtDBus and
// playerctl): the player's identity, PlayPause, Play, Pause and Next on a station of real
// MP3 files, the metadata following the track, PropertiesChanged, Quit; and a start
// without any bus, which must go on quietly.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QUrl>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "desktop/desktop_entry.h"
#include "platform/profile.h"
#include "radio/list_file.h"
#include "tests/audio/mp3_fixtures.h"
#include "tests/desktop/mpris_client.h"
#include "tests/desktop/private_bus.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "kalvira-mpris-test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

// A program folder with a short jingle and a station of three tagged tracks (the last is
// never drawn), and the program started in it, recording to WAV.
class RunningProgram {
 public:
  RunningProgram(std::map<std::string, std::string> environment = {}) {
    const char* build = std::getenv("KALVIRA_BUILD_DIR");
    program_ = build != nullptr ? std::string(build) + "/app/kalvira" : "";
    folder_ = dir_.path().string() + "/";
    fs::create_directories(folder_ + "templates");
    testing::MakeMp3(folder_ + "templates/jingle.mp3", testing::Mp3Recipe(44100, 2, 0.5));
    const std::vector<std::vector<std::string>> tags = {
        {"--tt", "Первая", "--ta", "Ансамбль", "--tl", "Альбом", "--tg", "Pop"},
        {"--tt", "Second", "--ta", "Band", "--tg", "Rock"},
        {"--tt", "Never"}};
    for (std::size_t i = 0; i < tags.size(); ++i) {
      const std::string path = folder_ + "track" + std::to_string(i) + ".mp3";
      testing::MakeMp3(path, testing::Mp3Recipe(44100, 2, 4.0).Lame(tags[i]));
      tracks_.push_back(path);
    }
    WriteProfileString(folder_ + "config.ini", "ZAMRACONFIG", "sfx_w1", "jingle.mp3");
    WriteListFile(folder_ + "rallfm.lfm", tracks_);
    environment_ = std::move(environment);
  }
  ~RunningProgram() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  bool Built() const { return !program_.empty() && fs::exists(program_); }

  void Start() {
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setenv("KALVIRA_PROGRAM_DIR", folder_.c_str(), 1);
      ::setenv("KALVIRA_AUDIO_OUT", ("wav:" + folder_ + "radio.wav").c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      for (const auto& [name, value] : environment_) {
        if (value.empty()) {
          ::unsetenv(name.c_str());
        } else {
          ::setenv(name.c_str(), value.c_str(), 1);
        }
      }
      const std::string log = folder_ + "stderr.log";
      ::freopen(log.c_str(), "w", stderr);
      ::execl(program_.c_str(), program_.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }

  // The exit status, once the process has ended (within the deadline), else -1.
  int Wait(std::chrono::seconds deadline = std::chrono::seconds(30)) {
    int status = -1;
    testing::WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, deadline);
    if (!WIFEXITED(status)) return -1;
    pid_ = -1;
    return WEXITSTATUS(status);
  }

  std::string Url(std::size_t track) const {
    return QUrl::fromLocalFile(QString::fromStdString(tracks_[track])).toString().toStdString();
  }
  std::string Folder() const { return folder_; }

 private:
  testing::TempDir dir_;
  std::string program_;
  std::string folder_;
  std::vector<std::string> tracks_;
  std::map<std::string, std::string> environment_;
  pid_t pid_ = -1;
};

std::string UrlOf(const QVariantMap& metadata) {
  return metadata.value("xesam:url").toString().toStdString();
}

// Runs playerctl against the player; its output, trimmed.
std::optional<std::string> Playerctl(const std::string& args) {
  auto out = testing::RunCommand("playerctl -p kalvira " + args + " 2>&1");
  if (out) {
    while (!out->empty() && (out->back() == '\n' || out->back() == '\r')) out->pop_back();
  }
  return out;
}

TEST(MprisProgramTest, ClientsDriveTheRunningRadio) {
  testing::PrivateBus bus;
  ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
  App();
  RunningProgram program;
  if (!program.Built()) GTEST_SKIP() << "kalvira is not built in this tree";
  program.Start();

  QDBusConnection connection = QDBusConnection::sessionBus();
  ASSERT_TRUE(connection.isConnected());
  testing::MprisClient client(connection, "org.mpris.MediaPlayer2.kalvira");
  ASSERT_TRUE(client.Until([&] {
    return connection.interface()->isServiceRegistered("org.mpris.MediaPlayer2.kalvira").value();
  }));

  // Who the player is and what it can do.
  EXPECT_EQ(client.Get(testing::kRoot, "Identity").toString(), "Kalvira");
  EXPECT_EQ(client.Get(testing::kRoot, "DesktopEntry").toString(), desktop::kDesktopEntryId);
  EXPECT_TRUE(client.Get(testing::kRoot, "CanRaise").toBool());
  EXPECT_TRUE(client.Get(testing::kRoot, "CanQuit").toBool());
  for (const char* yes : {"CanGoNext", "CanPlay", "CanPause", "CanControl"})
    EXPECT_TRUE(client.Get(testing::kPlayer, yes).toBool()) << yes;
  for (const char* no : {"CanGoPrevious", "CanSeek"})
    EXPECT_FALSE(client.Get(testing::kPlayer, no).toBool()) << no;

  // After the jingle, a track of the station with its tags.
  const std::set<std::string> allowed = {program.Url(0), program.Url(1)};
  ASSERT_TRUE(client.Until([&] {
    return allowed.count(UrlOf(client.Metadata())) == 1 && client.Status() == "Playing";
  })) << UrlOf(client.Metadata());
  QVariantMap metadata = client.Metadata();
  const bool first = UrlOf(metadata) == program.Url(0);
  EXPECT_EQ(metadata.value("xesam:title").toString(), first ? "Первая" : "Second");
  EXPECT_EQ(metadata.value("xesam:artist").toStringList(),
            QStringList{first ? "Ансамбль" : "Band"});
  EXPECT_EQ(metadata.value("xesam:genre").toStringList(), QStringList{first ? "Pop" : "Rock"});
  EXPECT_EQ(metadata.contains("xesam:album"), first);
  EXPECT_NEAR(metadata.value("mpris:length").toLongLong() / 1e6, 4.0, 0.3);
  EXPECT_EQ(metadata.value("kalvira:station").toString(), "ALLFM");
  EXPECT_TRUE(client.TrackId().startsWith("/")) << client.TrackId().toStdString();
  EXPECT_TRUE(client.Until([&] {
    for (const QVariantMap& change : client.changes)
      if (allowed.count(UrlOf(change.value("Metadata").toMap())) == 1) return true;
    return false;
  })) << "no PropertiesChanged with the track's metadata";

  // PlayPause toggles; every change is announced.
  ASSERT_TRUE(client.Call(testing::kPlayer, "PlayPause"));
  EXPECT_EQ(client.Status(), "Paused");
  ASSERT_TRUE(client.Until([&] {
    return !client.changes.empty() &&
           client.changes.back().value("PlaybackStatus").toString() == "Paused";
  }));
  ASSERT_TRUE(client.Call(testing::kPlayer, "PlayPause"));
  EXPECT_EQ(client.Status(), "Playing");
  ASSERT_TRUE(client.Call(testing::kPlayer, "Play"));  // playing already: nothing changes
  EXPECT_EQ(client.Status(), "Playing");

  // Next: another track of the station, and only one: the stopped run's notice must not
  // draw a second one, so the track lasts until its end.
  const QString before = client.TrackId();
  ASSERT_TRUE(client.Call(testing::kPlayer, "Next"));
  const QString skipped_to = client.TrackId();
  const auto skipped_at = Clock::now();
  EXPECT_NE(skipped_to, before);
  EXPECT_EQ(allowed.count(UrlOf(client.Metadata())), 1u);
  EXPECT_EQ(client.Status(), "Playing");
  ASSERT_TRUE(client.Until([&] { return client.TrackId() != skipped_to; }));
  EXPECT_GT(Clock::now() - skipped_at, std::chrono::milliseconds(2500))
      << "a second track followed the skip at once";

  // Next while paused: a new track, still paused. Play resumes it.
  ASSERT_TRUE(client.Call(testing::kPlayer, "Pause"));
  EXPECT_EQ(client.Status(), "Paused");
  const QString paused_on = client.TrackId();
  ASSERT_TRUE(client.Call(testing::kPlayer, "Next"));
  EXPECT_NE(client.TrackId(), paused_on);
  EXPECT_EQ(client.Status(), "Paused");
  ASSERT_TRUE(client.Call(testing::kPlayer, "Play"));
  EXPECT_EQ(client.Status(), "Playing");

  // playerctl, as a desktop would use it.
  if (testing::RunCommand("command -v playerctl")) {
    EXPECT_EQ(Playerctl("status"), "Playing");
    EXPECT_EQ(Playerctl("pause"), "");
    EXPECT_EQ(Playerctl("status"), "Paused");
    EXPECT_EQ(Playerctl("play-pause"), "");
    EXPECT_EQ(Playerctl("status"), "Playing");
    EXPECT_EQ(Playerctl("metadata xesam:url"), UrlOf(client.Metadata()));
  }

  // Quit answers, then ends the program like the close button: exit code 0.
  const auto reply = client.Call(testing::kRoot, "Quit");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->type(), QDBusMessage::ReplyMessage) << reply->errorMessage().toStdString();
  EXPECT_EQ(program.Wait(), 0);
}

// Without a session bus (none named, or one that is not there) the radio plays as ever
// and says nothing about it.
TEST(MprisProgramTest, NoBusMeansNoPlayerAndNoError) {
  const std::vector<std::map<std::string, std::string>> cases = {
      {{"DBUS_SESSION_BUS_ADDRESS", ""}, {"DISPLAY", ""}},
      {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kalvira-bus"}},
  };
  for (const auto& environment : cases) {
    SCOPED_TRACE(environment.at("DBUS_SESSION_BUS_ADDRESS"));
    RunningProgram program(environment);
    if (!program.Built()) GTEST_SKIP() << "kalvira is not built in this tree";
    program.Start();
    // Playing: the recording grows past the jingle.
    EXPECT_TRUE(testing::WaitUntil(
        [&] { return testing::ReadFileBytes(program.Folder() + "radio.wav").size() > 400000; }));
    const std::string log = testing::ReadFileBytes(program.Folder() + "stderr.log");
    EXPECT_EQ(log.find("DBus"), std::string::npos) << log;
    EXPECT_EQ(log.find("D-Bus"), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace kalvira
