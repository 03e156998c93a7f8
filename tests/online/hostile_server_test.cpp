// The online services against a server that does not keep to the service's tables: a
// scripted peer answers the statements with thousands of rows, rows of megabytes, NULLs
// and columns of other names. Nothing crashes or hangs; each feature fails the way it
// fails against a refusing server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/exception.h"
#include "online/chat_feed.h"
#include "online/login.h"
#include "online/online_texts.h"
#include "online/plugin_list.h"
#include "online/service_database.h"
#include "online/update_check.h"
#include "tests/dbclient/fake_server.h"
#include "tests/radio/radio_fixture.h"

namespace kalvira {
namespace {

using namespace kalvira::testing;

constexpr std::uint16_t kCaps41 = 0xA20F;
constexpr MySqlColumnType kVarString = MySqlColumnType::kVarString;
constexpr MySqlColumnType kLong = MySqlColumnType::kLong;
const std::string kNull(1, '\xFB');
constexpr std::uint32_t kHugeWidth = 0xFFFFFF;  // columns that hold megabytes

// The handshake and "SET NAMES", then one statement answered with `reply`.
std::vector<FakeStep> AnswerOneStatement(const std::string& reply) {
  return {Send(Packet(0, Greeting("5.0.51a-log", 42, "abcdefgh12345678ijkl", kCaps41))),
          ReceivePacket(),
          Send(Packet(2, OkPayload())),
          ReceivePacket(),
          Send(Packet(1, OkPayload())),
          ReceivePacket(),
          Send(reply)};
}

std::string Row(const std::vector<std::optional<std::string>>& values) {
  std::string row;
  for (const auto& value : values) row += value ? LengthEncodedString(*value) : kNull;
  return row;
}

// KALVIRA_SERVICE naming the scripted peer for one test.
class HostileServerTest : public ::testing::Test {
 protected:
  ~HostileServerTest() override {
    if (old_) {
      setenv("KALVIRA_SERVICE", old_->c_str(), 1);
    } else {
      unsetenv("KALVIRA_SERVICE");
    }
  }
  // The service components, configured for `server`; destroy them before the server.
  std::unique_ptr<TServiceDatabase> Connect(const FakeServer& server) {
    setenv("KALVIRA_SERVICE",
           ("mysql://radio:pw@127.0.0.1:" + std::to_string(server.Port()) + "/kalvira").c_str(), 1);
    auto db = std::make_unique<TServiceDatabase>();
    db->Configure();
    return db;
  }

  std::optional<std::string> old_ = [] {
    const char* value = std::getenv("KALVIRA_SERVICE");
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  }();
  ProgramFolder folder_;
};

TEST_F(HostileServerTest, ChatFeedTakesSixteenRowsCutsHugeOnesAndReadsNullsAsEmpty) {
  std::vector<std::string> rows;
  rows.push_back(Row({"1", std::nullopt, std::nullopt}));
  rows.push_back(Row({"2", std::string(1 << 20, 'u'), std::string(3 << 20, 'm')}));
  for (int i = 0; i < 5000; ++i) rows.push_back(Row({std::to_string(i), "n", "m"}));
  FakeServer server(AnswerOneStatement(
      ResultSet({Column41("id", kLong, 11), Column41("user", kVarString, kHugeWidth),
                 Column41("message", kVarString, kHugeWidth)},
                rows)));
  auto db = Connect(server);
  const ChatFetch fetch = FetchChatMessages(*db, folder_.Settings());
  EXPECT_FALSE(fetch.failed);
  ASSERT_EQ(fetch.lines.size(), 16u);
  EXPECT_EQ(fetch.lines[0], ": <br>");
  // Compared as sizes and counts: a failure must not print megabytes.
  const std::string& huge = fetch.lines[1];
  EXPECT_EQ(huge.size(), 2 * kMaxChatFieldBytes + 6);
  EXPECT_EQ(std::count(huge.begin(), huge.end(), 'u'), static_cast<long>(kMaxChatFieldBytes));
  EXPECT_EQ(huge.find(": "), kMaxChatFieldBytes);
  EXPECT_EQ(fetch.lines[15], "n: m<br>");
  EXPECT_TRUE(folder_.LogMessages().empty());
  db.reset();
}

TEST_F(HostileServerTest, OtherColumnNamesAreAFailureOfEachFeature) {
  const std::string reply = ResultSet({Column41("nick", kVarString, 255)}, {Row({"x"})});
  {
    FakeServer server(AnswerOneStatement(reply));
    auto db = Connect(server);
    const ChatFetch fetch = FetchChatMessages(*db, folder_.Settings());
    EXPECT_TRUE(fetch.failed);
    EXPECT_TRUE(fetch.lines.empty());
    EXPECT_EQ(folder_.LogMessages(),
              std::vector<std::string>{std::string(online_texts::kChatFeedFailed)});
  }
  {
    FakeServer server(AnswerOneStatement(reply));
    auto db = Connect(server);
    RecordingMessageBox box;
    RecordingShell shell;
    std::vector<int> codes;
    EXPECT_FALSE(CheckForProgramUpdate(*db, folder_.Settings(), box, shell,
                                       [&](int code) { codes.push_back(code); }));
    EXPECT_EQ(folder_.LogMessages().back(), online_texts::kUpdateQueryFailed);
    EXPECT_TRUE(box.requests.empty());
    EXPECT_TRUE(codes.empty());
  }
  {
    FakeServer server(AnswerOneStatement(reply));
    auto db = Connect(server);
    EXPECT_THROW(LoadPluginList(db->dnvjhe), Exception);
  }
  {
    // The login does not catch it: the window's handler hands it to the error report,
    // and nothing is remembered.
    FakeServer server(AnswerOneStatement(reply));
    auto db = Connect(server);
    RecordingMessageBox box;
    TLogin login(db->dnvjhe, folder_.Settings(), box);
    login.WindowShown();
    EXPECT_THROW(login.LoginToService("a@b", "c", [] { ADD_FAILURE() << "applied"; }), Exception);
    EXPECT_TRUE(login.LoginPending());
    EXPECT_EQ(folder_.Settings().ReadConfigValue("zmsUserName"), "");
  }
}

// A NULL version is 0: no update, nothing logged. Thousands of plug-ins all listed.
TEST_F(HostileServerTest, NullVersionAndManyPlugins) {
  {
    FakeServer server(AnswerOneStatement(
        ResultSet({Column41("version", kLong, 11), Column41("link", kVarString, 255)},
                  {Row({std::nullopt, std::nullopt})})));
    auto db = Connect(server);
    RecordingMessageBox box;
    RecordingShell shell;
    EXPECT_FALSE(CheckForProgramUpdate(*db, folder_.Settings(), box, shell, [](int) {}));
    EXPECT_TRUE(folder_.LogMessages().empty());
  }
  std::vector<std::string> rows;
  for (int i = 0; i < 3000; ++i)
    rows.push_back(Row({"p" + std::to_string(i), std::nullopt, "1", "l"}));
  FakeServer server(AnswerOneStatement(
      ResultSet({Column41("name", kVarString, 255), Column41("size", kLong, 11),
                 Column41("version", kVarString, 255), Column41("link", kVarString, 255)},
                rows)));
  auto db = Connect(server);
  const std::vector<PluginItem> items = LoadPluginList(db->dnvjhe);
  ASSERT_EQ(items.size(), 3000u);
  EXPECT_EQ(items[2999].name, "p2999");
  EXPECT_EQ(items[0].size, " Kb");
}

// A server that takes the statement and never answers holds the window only until the
// statement's time-out (30 seconds in the program, shortened here); the feed then fails
// as after any lost connection.
TEST_F(HostileServerTest, SilentServerEndsTheFetchAtTheTimeOut) {
  std::vector<FakeStep> script = AnswerOneStatement("");
  script.pop_back();  // the statement is read, nothing is sent back
  FakeServer server(script);
  auto db = Connect(server);
  db->dfqup.SetCommandTimeout(1);
  const ChatFetch fetch = FetchChatMessages(*db, folder_.Settings());
  EXPECT_TRUE(fetch.failed);
  EXPECT_EQ(folder_.LogMessages(),
            std::vector<std::string>{std::string(online_texts::kChatFeedFailed)});
  EXPECT_FALSE(db->dbfncn.Connected());
}

}  // namespace
}  // namespace kalvira
