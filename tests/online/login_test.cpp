// The login against the private server's account table: cipher texts compared, the
// remembered values, the boxes answered by a recorder.
#include "online/login.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/credential_cipher.h"
#include "online/online_texts.h"
#include "online/service_config.h"
#include "radio/settings_keys.h"
#include "tests/online/service_fixture.h"

namespace kalvira {
namespace {

class LoginTest : public testing::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    db_.Configure();  // as the main window's creation does; the login never does it
    AddUser("listener@example.org", "Пароль1", 0);
    AddUser("banned@example.org", "secret", 1);
  }
  void AddUser(const std::string& email, const std::string& password, int banned) {
    Sql("INSERT INTO ut_users (email, password, is_banned) VALUES (" + QuoteSqlText(email) + "," +
        QuoteSqlText(EncryptCredential(password)) + "," + std::to_string(banned) + ")");
  }
  TLogin::Outcome Login(const std::string& email, const std::string& password) {
    return login_.LoginToService(email, password, [this] {
      // The windows are told between the flag and the remembered values.
      EXPECT_FALSE(login_.LoginPending());
      EXPECT_EQ(folder_.Settings().ReadConfigValue(settings::kUserName), remembered_before_);
      ++applied_;
    });
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& r : box_.requests) texts.push_back(r.text);
    return texts;
  }

  testing::RecordingMessageBox box_;
  TLogin login_{db_.dnvjhe, folder_.Settings(), box_};
  int applied_ = 0;
  std::string remembered_before_;
};

const std::string kCorrupted =
    "Некоторые данные, сохраненные в прошлый \n\rраз, были испорчены. Введите EMAIL и пароль "
    "заново.";

// First use: nothing remembered, so the password does not decrypt: the warning, and the
// address (empty) is filled in. After a login both come back without a warning.
TEST_F(LoginTest, RemembersAddressAndPasswordOfASuccessfulLogin) {
  TLogin::Remembered shown = login_.WindowShown();
  EXPECT_TRUE(login_.LoginPending());
  EXPECT_EQ(shown.username, "");
  EXPECT_FALSE(shown.password);
  ASSERT_EQ(box_.requests.size(), 1u);
  EXPECT_EQ(box_.requests[0].text, kCorrupted);
  EXPECT_EQ(box_.requests[0].kind, MessageKind::kWarning);
  EXPECT_EQ(box_.requests[0].buttons, MessageButtons::kOkCancel);

  EXPECT_EQ(Login("listener@example.org", "Пароль1"), TLogin::Outcome::kSuccess);
  EXPECT_EQ(applied_, 1);
  EXPECT_FALSE(login_.LoginPending());
  EXPECT_EQ(folder_.Settings().ReadConfigValue(settings::kUserName), "listener@example.org");
  EXPECT_EQ(folder_.Settings().ReadConfigValue(settings::kPassword), EncryptCredential("Пароль1"));
  EXPECT_EQ(box_.requests.size(), 1u);

  shown = login_.WindowShown();
  EXPECT_EQ(shown.username, "listener@example.org");
  EXPECT_EQ(shown.password, "Пароль1");
  EXPECT_EQ(box_.requests.size(), 1u);
  EXPECT_TRUE(login_.LoginPending());
  EXPECT_TRUE(Log().empty());
}

// Every refusal tells the listener and changes nothing that was remembered.
TEST_F(LoginTest, RefusalsChangeNothing) {
  ASSERT_EQ(Login("listener@example.org", "Пароль1"), TLogin::Outcome::kSuccess);
  const std::string stored = folder_.Settings().ReadConfigValue(settings::kPassword);
  const struct {
    const char* email;
    const char* password;
    TLogin::Outcome outcome;
    const char* text;
  } cases[] = {
      {"listener@example.org", "пароль1", TLogin::Outcome::kWrongPassword, "Не верный пароль!"},
      {"listener@example.org", "Пароль1 ", TLogin::Outcome::kWrongPassword, "Не верный пароль!"},
      {"banned@example.org", "secret", TLogin::Outcome::kDenied,
       "Пользователю \"banned@example.org\" запрещен доступ"},
      {"nobody@example.org", "x", TLogin::Outcome::kDenied,
       "Пользователю \"nobody@example.org\" запрещен доступ"},
      {"", "", TLogin::Outcome::kDenied, "Пользователю \"\" запрещен доступ"},
      {"x' OR '1'='1", "x", TLogin::Outcome::kDenied,
       "Пользователю \"x' OR '1'='1\" запрещен доступ"},
      {"\\' OR 1=1 -- ", "x", TLogin::Outcome::kDenied,
       "Пользователю \"\\' OR 1=1 -- \" запрещен доступ"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.email);
    box_.requests.clear();
    login_.WindowShown();
    EXPECT_EQ(Login(c.email, c.password), c.outcome);
    ASSERT_EQ(box_.requests.size(), 1u);
    EXPECT_EQ(box_.requests[0].text, c.text);
    EXPECT_EQ(box_.requests[0].kind, MessageKind::kError);
    EXPECT_TRUE(login_.LoginPending());
    EXPECT_EQ(folder_.Settings().ReadConfigValue(settings::kUserName), "listener@example.org");
    EXPECT_EQ(folder_.Settings().ReadConfigValue(settings::kPassword), stored);
  }
  EXPECT_EQ(applied_, 1);
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(db_.dnvjhe.SQL(),
            "select password from ut_users where is_banned = 0 and email = "
            "CONCAT(CAST(X'5C' AS CHAR),''' OR 1=1 -- ')");
}

// Addresses with quotes, backslashes, control characters and SQL reach the server
// exactly: each account (inserted here as hex, without the program's quoting) logs in
// with exactly its own address.
TEST_F(LoginTest, AddressesReachTheServerByteForByte) {
  const std::vector<std::string> addresses = {
      "o'neil@example.org", "back\\slash\\@example.org",  "\\'; DROP TABLE ut_users; --",
      "tab\tcr\r@x",        "' OR is_banned = 1 OR ''='", "Пётр@пример.рф"};
  for (const std::string& email : addresses) {
    Sql("INSERT INTO ut_users (email, password) VALUES (CONVERT(X'" + testing::HexBytes(email) +
        "' USING utf8mb4), " + QuoteSqlText(EncryptCredential("pw")) + ")");
  }
  for (const std::string& email : addresses) {
    SCOPED_TRACE(email);
    remembered_before_ = folder_.Settings().ReadConfigValue(settings::kUserName);
    EXPECT_EQ(Login(email, "pw"), TLogin::Outcome::kSuccess);
  }
  EXPECT_TRUE(box_.requests.empty());
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM ut_users"), "8\n");
}

TEST_F(LoginTest, ServerFailureIsLoggedAndToldAsDenied) {
  Sql("DROP TABLE ut_users");
  EXPECT_EQ(Login("listener@example.org", "Пароль1"), TLogin::Outcome::kDenied);
  EXPECT_EQ(Log(), std::vector<std::string>{std::string(online_texts::kLoginFailed)});
  EXPECT_EQ(BoxTexts(),
            std::vector<std::string>{"Пользователю \"listener@example.org\" запрещен доступ"});
  EXPECT_EQ(applied_, 0);
}

// A damaged remembered password: the warning, the address still filled in.
TEST_F(LoginTest, DamagedPasswordWarnsAndKeepsTheAddress) {
  for (const char* damaged : {"not base64!", "QUJD"}) {
    SCOPED_TRACE(damaged);
    box_.requests.clear();
    folder_.Settings().WriteConfigValue(settings::kUserName, "me@example.org");
    folder_.Settings().WriteConfigValue(settings::kPassword, damaged);
    const TLogin::Remembered shown = login_.WindowShown();
    EXPECT_EQ(shown.username, "me@example.org");
    EXPECT_FALSE(shown.password);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kCorrupted});
  }
}

}  // namespace
}  // namespace kalvira
