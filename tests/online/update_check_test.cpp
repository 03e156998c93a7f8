// The update check against the private server: the version row as the service holds
// it, the box answered by a recorder, the end of the process recorded.
#include "online/update_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/online_texts.h"
#include "tests/online/service_fixture.h"

namespace kalvira {
namespace {

class UpdateCheckTest : public testing::ServiceTest {
 protected:
  bool Check() {
    return CheckForProgramUpdate(db_, folder_.Settings(), box_, shell_,
                                 [this](int code) { exit_codes_.push_back(code); });
  }
  testing::RecordingMessageBox box_;
  testing::RecordingShell shell_;
  std::vector<int> exit_codes_;
};

TEST(VersionTextTest, Forms) {
  EXPECT_EQ(VersionText("50091215"), "5.0 BUILD 091215");
  EXPECT_EQ(VersionText("50100105"), "5.0 BUILD 100105");
  EXPECT_EQ(VersionText("100000000"), "1.0 BUILD 0000000");
  EXPECT_EQ(VersionText("7"), "7");
  EXPECT_EQ(VersionText(""), "");
}

TEST_F(UpdateCheckTest, NewerVersionIsAnnouncedAndEndsTheProgramWhateverTheAnswer) {
  Sql("INSERT INTO ut_versions VALUES (0, 50100105, 'https://example.org/get?a=1&b=''2'''),"
      "(1, 99999999, 'https://example.org/other')");
  for (const MessageResult answer : {MessageResult::kYes, MessageResult::kNo}) {
    box_.requests.clear();
    shell_.urls.clear();
    exit_codes_.clear();
    box_.answer = answer;
    EXPECT_TRUE(Check());
    ASSERT_EQ(box_.requests.size(), 1u);
    const MessageBoxRequest& request = box_.requests[0];
    EXPECT_EQ(request.text,
              "Поздравляем, на сайте производителя появилась \n\rновая версия программы.\n\r\n\r"
              "Текущая версия программы: #5.0 BUILD 091215\n\r"
              "Доступная версия программы: #5.0 BUILD 100105\n\r\n\r"
              "Вам необходимо выполнить обновление сейчас,\n\r"
              "в противном случае программа не сможет работать.\n\r"
              "Вы хотите обновить программу?");
    EXPECT_EQ(request.kind, MessageKind::kWarning);
    EXPECT_EQ(request.buttons, MessageButtons::kYesNo);
    EXPECT_EQ(shell_.urls, answer == MessageResult::kYes
                               ? std::vector<std::string>{"https://example.org/get?a=1&b='2'"}
                               : std::vector<std::string>{});
    EXPECT_EQ(exit_codes_, std::vector<int>{0});
  }
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(db_.dfqup.SQL(), "SELECT version, link from ut_versions where id_main = 0");
}

// The comparison is by value: equal or older goes on, more digits are newer, and so is
// a version that no longer fits 32 bits; no row at all means no update and no log entry.
TEST_F(UpdateCheckTest, ComparesVersionsByValue) {
  const struct {
    const char* rows;
    bool newer;
  } cases[] = {
      {"", false},
      {"(0, 50091215, 'l')", false},
      {"(0, 50091214, 'l')", false},
      {"(0, 50091216, 'l')", true},
      {"(0, 100000000, 'l')", true},
      {"(0, 3000000000, 'l')", true},
      {"(1, 60000000, 'l')", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    Sql(std::string("DELETE FROM ut_versions;") +
        (*c.rows != '\0' ? std::string("INSERT INTO ut_versions VALUES ") + c.rows : ""));
    box_.requests.clear();
    exit_codes_.clear();
    EXPECT_EQ(Check(), c.newer);
    EXPECT_EQ(box_.requests.size(), c.newer ? 1u : 0u);
    EXPECT_EQ(exit_codes_.size(), c.newer ? 1u : 0u);
  }
  EXPECT_TRUE(Log().empty());
}

TEST_F(UpdateCheckTest, FailuresAreLoggedAndTheStartGoesOn) {
  // A stopped server: both entries, in this order.
  StopServer();
  EXPECT_FALSE(Check());
  EXPECT_EQ(Log(), (std::vector<std::string>{std::string(online_texts::kUpdateCheckFailed),
                                             std::string(online_texts::kUpdateQueryFailed)}));
  RestartServer();
  // A version that is no integer: the second entry only.
  Sql("DROP TABLE ut_versions;"
      "CREATE TABLE ut_versions (id_main INT, version VARCHAR(20), link TEXT);"
      "INSERT INTO ut_versions VALUES (0, '5.1 BUILD 1', 'l')");
  EXPECT_FALSE(Check());
  EXPECT_EQ(Log().size(), 3u);
  EXPECT_EQ(Log().back(), online_texts::kUpdateQueryFailed);
  EXPECT_TRUE(box_.requests.empty());
  EXPECT_TRUE(exit_codes_.empty());
}

}  // namespace
}  // namespace kalvira
