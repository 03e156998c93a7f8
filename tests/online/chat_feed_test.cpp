// The chat feed and the message insert against the private server: real statements,
// rows put in and read back with the mariadb client.
#include "online/chat_feed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/online_texts.h"
#include "online/service_statements.h"
#include "tests/online/service_fixture.h"

namespace kalvira {
namespace {

using ChatFeedTest = testing::ServiceTest;

const std::string kFeedFailed(online_texts::kChatFeedFailed);

void Post(testing::ServiceTest& test, int count) {
  std::string sql;
  for (int i = 1; i <= count; ++i) {
    sql += "insert into ut_messages (user,message) values ('nick" + std::to_string(i) +
           "','message " + std::to_string(i) + "');";
  }
  test.Sql(sql);
}

TEST(ChatLineTest, IsUserColonMessageBreakWithNothingEscaped) {
  EXPECT_EQ(ChatLine("Ольга", "Привет"), "Ольга: Привет<br>");
  EXPECT_EQ(ChatLine("", ""), ": <br>");
  EXPECT_EQ(ChatLine("<b>a</b>", "<img src=x>&amp;"), "<b>a</b>: <img src=x>&amp;<br>");
}

// Empty, 3 and 20 rows: newest first, at most the 16 with the largest ids, and an empty
// table is no failure.
TEST_F(ChatFeedTest, ShowsTheSixteenNewestNewestFirst) {
  ChatFetch fetch = FetchChatMessages(db_, folder_.Settings());
  EXPECT_FALSE(fetch.failed);
  EXPECT_TRUE(fetch.lines.empty());

  Post(*this, 3);
  fetch = FetchChatMessages(db_, folder_.Settings());
  EXPECT_FALSE(fetch.failed);
  EXPECT_EQ(fetch.lines, (std::vector<std::string>{"nick3: message 3<br>", "nick2: message 2<br>",
                                                   "nick1: message 1<br>"}));

  Sql("delete from ut_messages");
  Post(*this, 20);
  fetch = FetchChatMessages(db_, folder_.Settings());
  ASSERT_EQ(fetch.lines.size(), 16u);
  // The ids go on from 4: the newest is the 20th posted, the oldest shown the 5th.
  EXPECT_EQ(fetch.lines.front(), "nick20: message 20<br>");
  EXPECT_EQ(fetch.lines.back(), "nick5: message 5<br>");
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(db_.dfqup.SQL(),
            "SELECT id, user, message from ut_messages order by id desc limit 16 ");
  EXPECT_TRUE(db_.dfqup.Active());  // left open on its result
}

// A second fetch with the connection open does not reconnect.
TEST_F(ChatFeedTest, FetchesShareOneConnection) {
  FetchChatMessages(db_, folder_.Settings());
  ASSERT_TRUE(db_.dbfncn.Connected());
  const auto thread = db_.dbfncn.ThreadId();
  FetchChatMessages(db_, folder_.Settings());
  EXPECT_EQ(db_.dbfncn.ThreadId(), thread);
}

// A stopped server and a connection the server dropped: one log entry each, no lines.
TEST_F(ChatFeedTest, FailureIsLoggedOnceAndGivesNoLines) {
  Post(*this, 2);
  ASSERT_EQ(FetchChatMessages(db_, folder_.Settings()).lines.size(), 2u);

  StopServer();
  ChatFetch fetch = FetchChatMessages(db_, folder_.Settings());
  EXPECT_TRUE(fetch.failed);
  EXPECT_TRUE(fetch.lines.empty());
  EXPECT_EQ(Log(), std::vector<std::string>{kFeedFailed});
  EXPECT_TRUE(db_.dfqup.AtEnd());

  RestartServer();
  ASSERT_EQ(FetchChatMessages(db_, folder_.Settings()).lines.size(), 2u);
  Sql("KILL " + std::to_string(db_.dbfncn.ThreadId()));
  fetch = FetchChatMessages(db_, folder_.Settings());
  EXPECT_TRUE(fetch.failed);
  EXPECT_TRUE(fetch.lines.empty());
  EXPECT_EQ(Log().size(), 2u);
}

// What listeners type reaches the table byte for byte and changes no statement: quotes,
// backslashes, control characters, SQL fragments, markup.
TEST_F(ChatFeedTest, HostileTextIsStoredAndReadBackUnchanged) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"O'Brien", "it's 'quoted' \"twice\""},
      {"back\\slash\\", "\\'); DROP TABLE ut_messages; -- "},
      {"'); DELETE FROM ut_messages; --", "x' OR '1'='1"},
      {"ctl\x01\x1f\t", "line\r\nnext\x7f"},
      {"<script>alert(1)</script>", "<img src=http://x/a.png><a href=x>y</a>&amp;"},
      {"Пётр «Ё»", ":name ?:param @var $1"},
  };
  for (const auto& [user, message] : rows) SendChatMessage(db_, folder_.Settings(), user, message);
  EXPECT_TRUE(Log().empty());
  std::string expected;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    expected += testing::HexBytes(it->first) + "\t" + testing::HexBytes(it->second) + "\n";
  }
  EXPECT_EQ(Sql("SELECT HEX(CONVERT(user USING utf8mb4)), HEX(CONVERT(message USING utf8mb4)) "
                "FROM ut_messages ORDER BY id DESC"),
            expected);
  const ChatFetch fetch = FetchChatMessages(db_, folder_.Settings());
  ASSERT_EQ(fetch.lines.size(), rows.size());
  EXPECT_EQ(fetch.lines.back(), ChatLine(rows.front().first, rows.front().second));
  EXPECT_EQ(fetch.lines.front(), ChatLine(rows.back().first, rows.back().second));
}

TEST_F(ChatFeedTest, FailedInsertIsLoggedOnly) {
  StopServer();
  SendChatMessage(db_, folder_.Settings(), "it's", "message");
  EXPECT_EQ(Log(), std::vector<std::string>{std::string(online_texts::kSendFailed)});
  EXPECT_EQ(db_.dfqup.SQL(), "insert into ut_messages (user,message) values ('it''s','message')");
  RestartServer();
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM ut_messages"), "0\n");
}

// A server whose table differs from the shipped one: NULLs read as empty text, a huge
// row is cut for the label.
TEST_F(ChatFeedTest, HostileTableNeitherBreaksNorFloodsTheFeed) {
  Sql("DROP TABLE ut_messages;"
      "CREATE TABLE ut_messages (id INT AUTO_INCREMENT PRIMARY KEY, user TEXT NULL, "
      "message LONGTEXT NULL) DEFAULT CHARSET=cp1251;"
      "INSERT INTO ut_messages (user, message) VALUES (NULL, NULL);"
      "INSERT INTO ut_messages (user, message) VALUES ('big', CONCAT('a', REPEAT('ж', 3000000)));");
  ChatFetch fetch = FetchChatMessages(db_, folder_.Settings());
  ASSERT_FALSE(fetch.failed);
  ASSERT_EQ(fetch.lines.size(), 2u);
  EXPECT_EQ(fetch.lines[1], ": <br>");
  EXPECT_LE(fetch.lines[0].size(), kMaxChatFieldBytes + 16);
  EXPECT_TRUE(fetch.lines[0].starts_with("big: aжж"));
  EXPECT_TRUE(fetch.lines[0].ends_with("ж<br>"));  // cut between characters

  EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace kalvira
