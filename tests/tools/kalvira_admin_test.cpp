// kalvira-admin run as operators run it: the built program, its exit status, its output,
// and the rows it leaves on the private test server, read back with the mariadb client.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "dbclient/my_connection.h"
#include "dbclient/my_query.h"
#include "online/credential_cipher.h"
#include "online/service_config.h"
#include "tests/support/test_support.h"
#include "tools/kalvira-admin/admin.h"

extern char** environ;

namespace kalvira {
namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string AdminPath() {
  const char* build = std::getenv("KALVIRA_BUILD_DIR");
  return std::string(build != nullptr ? build : ".") + "/tools/kalvira-admin/kalvira-admin";
}

// Runs kalvira-admin with `args` (no shell in between), KALVIRA_SERVICE set to `service`
// (unset when empty) and `input` on standard input.
Result RunAdmin(const std::vector<std::string>& args, const std::string& service,
                const std::string& input = "") {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("in"), input);
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!std::string_view(*e).starts_with("KALVIRA_SERVICE=")) env.emplace_back(*e);
  }
  if (!service.empty()) env.push_back("KALVIRA_SERVICE=" + service);
  std::vector<std::string> argv_strings = {AdminPath()};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, dir.File("in").c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, dir.File("out").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, dir.File("err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  Result result;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << argv[0];
    return result;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = testing::ReadFileBytes(dir.File("out"));
  result.err = testing::ReadFileBytes(dir.File("err"));
  return result;
}

std::string UrlOf(const ServiceUrl& s) {
  auto encode = [](const std::string& text) {
    std::string out;
    for (const char c : text) {
      const auto b = static_cast<unsigned char>(c);
      if (std::isalnum(b) || c == '_' || c == '-' || c == '.') {
        out += c;
      } else {
        out += '%';
        out += "0123456789ABCDEF"[b >> 4];
        out += "0123456789ABCDEF"[b & 15];
      }
    }
    return out;
  };
  return "mysql://" + encode(s.user) + ":" + encode(s.password) + "@" + s.host + ":" +
         std::to_string(s.port) + "/" + encode(s.schema);
}

// Text that breaks careless quoting, lines, terminals or code pages: quotes, backslashes
// (at the end too), NUL-free control characters, a parameter-like ":name", Cyrillic and
// characters Windows-1251 lacks.
std::string Hostile(const std::string& tag) {
  return tag + " O'Brien \"q\" \\ \\' ''\\ :name; -- \t\x01\x1b[31m\x7f line\nend\r Ёжик €№ 中😀 \\";
}

// The Windows-1251 bytes the service keeps of `text`, as the mariadb client's HEX() shows.
std::string StoredHex(const std::string& text) {
  return testing::HexBytes(Utf8ToCp1251(text));
}

class KalviraAdminTest : public ::testing::Test {
 protected:
  // One fresh schema per test run, made by the tool itself, dropped at the end.
  static void SetUpTestSuite() {
    std::string why;
    const auto service = testing::TestService(&why);
    if (!service) return;
    server_ = new ServiceUrl(*service);
    server_->schema.clear();
    schema_ = new ServiceUrl(*service);
    schema_->schema = "kalvira_admin_" + std::to_string(std::random_device()());
  }
  static void TearDownTestSuite() {
    if (server_ != nullptr) {
      testing::RunMariadbClient(*server_, "DROP DATABASE IF EXISTS " + schema_->schema);
    }
    delete server_;
    delete schema_;
    server_ = schema_ = nullptr;
  }

  void SetUp() override {
    if (schema_ == nullptr) {
      if (std::getenv("KALVIRA_REQUIRE_DB") != nullptr) FAIL() << "KALVIRA_SERVICE is not set";
      GTEST_SKIP() << "KALVIRA_SERVICE is not set: run the suite through scripts/test.sh";
    }
    const Result r = Admin({"schema"});
    ASSERT_EQ(r.status, 0) << r.err;
  }

  static Result Admin(const std::vector<std::string>& args, const std::string& input = "") {
    return RunAdmin(args, UrlOf(*schema_), input);
  }

  // Rows of `sql` in the test schema, as the mariadb client prints them.
  static std::string Query(const std::string& sql) {
    auto reply = testing::RunMariadbClient(*schema_, sql, "--default-character-set=utf8mb4");
    return reply ? *reply : "<query failed>";
  }

  // The password column as the program's login reads it: its own statement through the
  // project's database client on a Windows-1251 connection. Nothing when no row.
  static std::optional<std::string> LoginPassword(const std::string& email) {
    TMyConnection connection;
    connection.SetServer(schema_->host);
    connection.SetPort(schema_->port);
    connection.SetUsername(schema_->user);
    connection.SetPassword(schema_->password);
    connection.SetDatabase(schema_->schema);
    connection.Options().SetCharset("cp1251");
    TMyQuery query;
    query.SetConnection(&connection);
    query.SetSQL("select password from ut_users where is_banned = 0 and email = " +
                 QuoteSqlText(email));
    query.Execute();
    if (query.AtEnd()) return std::nullopt;
    return query.FieldNamed("password").TextValue();
  }

  static ServiceUrl* server_;
  static ServiceUrl* schema_;
};

ServiceUrl* KalviraAdminTest::server_ = nullptr;
ServiceUrl* KalviraAdminTest::schema_ = nullptr;

TEST_F(KalviraAdminTest, SchemaCreatesTheDatabaseAndRunsAgain) {
  ServiceUrl other = *schema_;
  other.schema += "_x";
  for (int run = 0; run < 2; ++run) {
    const Result r = RunAdmin({"schema"}, UrlOf(other));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
  }
  const auto tables = testing::RunMariadbClient(
      *server_,
      "SELECT TABLE_NAME, TABLE_COLLATION FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
          other.schema + "' ORDER BY TABLE_NAME");
  ASSERT_TRUE(tables);
  EXPECT_EQ(*tables,
            "ut_messages\tcp1251_general_ci\n"
            "ut_plugins\tcp1251_general_ci\n"
            "ut_users\tcp1251_general_ci\n"
            "ut_versions\tcp1251_general_ci\n");
  testing::RunMariadbClient(*server_, "DROP DATABASE " + other.schema);
}

TEST_F(KalviraAdminTest, UserAddStoresTheCipherTextTheLoginAccepts) {
  const std::string email = Hostile("mail@") + "A";
  const std::string password = Hostile("pw");
  const Result r = Admin({"user", "add", email, password});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  // Characters outside Windows-1251 are named in a warning, the password never shown.
  EXPECT_NE(r.err.find("warning: EMAIL"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("warning: PASSWORD"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("pw O'Brien"), std::string::npos);

  const std::string cipher = EncryptCredential(password);
  EXPECT_EQ(Query("SELECT HEX(email), password, is_banned FROM ut_users"),
            StoredHex(email) + "\t" + cipher + "\t0\n");
  // The login's statement and comparison, with the address in other letter case.
  std::string upper = email;
  upper.replace(upper.size() - 1, 1, "a");
  upper.replace(0, 4, "MAIL");
  EXPECT_EQ(LoginPassword(upper), cipher);
  EXPECT_EQ(LoginPassword(email + "x"), std::nullopt);
  // What the login would type: the same text, mapped to Windows-1251 alike.
  EXPECT_EQ(DecryptCredential(cipher), Cp1251ToUtf8(Utf8ToCp1251(password)));
}

TEST_F(KalviraAdminTest, UserAddReadsThePasswordFromStandardInput) {
  const Result r = Admin({"user", "add", "stdin@example.org", "-"}, "s3cret 'Пароль'\\\r\nnext\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Query("SELECT password FROM ut_users WHERE email = 'stdin@example.org'"),
            EncryptCredential("s3cret 'Пароль'\\") + "\n");
  const Result empty = Admin({"user", "add", "nothing@example.org", "-"}, "");
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, "kalvira-admin: no password on standard input\n");
}

TEST_F(KalviraAdminTest, UserAddRefusesAnExistingAddress) {
  ASSERT_EQ(Admin({"user", "add", "dup@example.org", "first"}).status, 0);
  const Result r = Admin({"user", "add", "DUP@example.org", "second"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(
      r.err,
      "kalvira-admin: an account with the e-mail address \"DUP@example.org\" already exists\n");
  EXPECT_EQ(Query("SELECT password FROM ut_users WHERE email = 'dup@example.org'"),
            EncryptCredential("first") + "\n");
}

TEST_F(KalviraAdminTest, BanAndUnban) {
  const std::string email = Hostile("ban@");
  ASSERT_EQ(Admin({"user", "add", email, "pw"}).status, 0);
  const std::string row =
      "SELECT is_banned FROM ut_users WHERE HEX(email) = '" + StoredHex(email) + "'";

  Result r = Admin({"user", "ban", email});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Query(row), "1\n");
  EXPECT_EQ(LoginPassword(email), std::nullopt);
  r = Admin({"user", "ban", email});  // again: still banned, no error
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Query(row), "1\n");

  r = Admin({"user", "unban", email});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Query(row), "0\n");
  EXPECT_EQ(LoginPassword(email), EncryptCredential("pw"));

  r = Admin({"user", "ban", "nobody@example.org"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kalvira-admin: no account with the e-mail address \"nobody@example.org\"\n");
}

TEST_F(KalviraAdminTest, UserListShowsAddressAndStateButNoPassword) {
  ASSERT_EQ(Admin({"user", "add", "a@example.org", "secret-one"}).status, 0);
  ASSERT_EQ(Admin({"user", "add", "Ёж\\\t\x1b@example.org", "secret-two"}).status, 0);
  ASSERT_EQ(Admin({"user", "ban", "a@example.org"}).status, 0);
  const Result r = Admin({"user", "list"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto id_of = [](const std::string& email) {
    const std::string id =
        Query("SELECT id FROM ut_users WHERE HEX(email) = '" + StoredHex(email) + "'");
    return id.substr(0, id.find('\n'));
  };
  const std::string first = id_of("a@example.org");
  const std::string second = id_of("Ёж\\\t\x1b@example.org");
  EXPECT_NE(r.out.find(first + "\ta@example.org\tbanned\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(second + "\tЁж\\\\\\t\\x1B@example.org\tactive\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("secret"), std::string::npos);
  EXPECT_EQ(r.out.find(EncryptCredential("secret-one")), std::string::npos);
}

TEST_F(KalviraAdminTest, MessagePostAndList) {
  const std::string nick = "<B><FONT color=\"#FF0000\">" + Hostile("nick") + "</FONT></b>";
  const std::string text = Hostile("text");
  Result r = Admin({"message", "post", nick, text});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: NICK"), std::string::npos) << r.err;
  EXPECT_EQ(Query("SELECT HEX(user), HEX(message) FROM ut_messages ORDER BY id DESC LIMIT 1"),
            StoredHex(nick) + "\t" + StoredHex(text) + "\n");

  ASSERT_EQ(Admin({"message", "post", "Пётр", "Привет!"}).status, 0);
  r = Admin({"message", "list"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string last_id = Query("SELECT MAX(id) FROM ut_messages");
  EXPECT_TRUE(r.out.ends_with(last_id.substr(0, last_id.size() - 1) + "\tПётр\tПривет!\n"))
      << r.out;
  // The hostile row comes back on one line, escaped, with "?" for what the code page lacks.
  EXPECT_NE(r.out.find("\t<B><FONT color=\"#FF0000\">nick O'Brien \"q\" \\\\ \\\\' ''\\\\ :name; "
                       "-- \\t\\x01\\x1B[31m\\x7F line\\nend\\r Ёжик €№ ?? \\\\</FONT></b>\t"
                       "text O'Brien"),
            std::string::npos)
      << r.out;
}

TEST_F(KalviraAdminTest, VersionSetAddsOrReplacesTheRowOfProductLineZero) {
  const std::string link = Hostile("https://example.org/get?a=1&b=");
  Result r = Admin({"version", "set", "50091215", link});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Admin({"version", "set", "50100105", link + "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Query("SELECT id_main, version, HEX(link) FROM ut_versions"),
            "0\t50100105\t" + StoredHex(link + "2") + "\n");

  for (const char* bad : {"5009121", "500912150", "05009121", "5009121x", "", "-5009121"}) {
    r = Admin({"version", "set", bad, "x"});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("NUMBER must be 8 decimal digits"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Query("SELECT version FROM ut_versions"), "50100105\n");
}

TEST_F(KalviraAdminTest, PluginAddAndList) {
  const std::string name = Hostile("name");
  const std::string version = Hostile("1.2");
  const std::string link = Hostile("https://example.org/p");
  Result r = Admin({"plugin", "add", name, "2048", version, link});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Query("SELECT HEX(name), size, HEX(version), HEX(link) FROM ut_plugins ORDER BY id "
                  "DESC LIMIT 1"),
            StoredHex(name) + "\t2048\t" + StoredHex(version) + "\t" + StoredHex(link) + "\n");

  ASSERT_EQ(Admin({"plugin", "add", "Эквалайзер", "0", "1.0", "https://example.org/eq"}).status, 0);
  r = Admin({"plugin", "list"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.ends_with("\tЭквалайзер\t0\t1.0\thttps://example.org/eq\n")) << r.out;

  for (const char* bad : {"", "12k", "-1", "4294967296", "1.5"}) {
    r = Admin({"plugin", "add", "x", bad, "1", "l"});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("SIZE must be a whole number"), std::string::npos) << r.err;
  }
}

TEST(KalviraAdminOfflineTest, EncryptAndDecryptNeedNoService) {
  // A service that cannot be reached: the cipher commands never connect.
  const std::string nowhere = "mysql://u:p@127.0.0.1:1/none";
  for (const std::string& text : {std::string("Пароль 'x' \\ \t ok"), Hostile("pw")}) {
    Result r = RunAdmin({"encrypt", text}, nowhere);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, EncryptCredential(text) + "\n");
    r = RunAdmin({"decrypt", EncryptCredential(text)}, nowhere);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Cp1251ToUtf8(Utf8ToCp1251(text)) + "\n");
  }

  Result r = RunAdmin({"decrypt", Hostile("x")}, nowhere);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kalvira-admin: Invalid Base64 Character\n");

  r = RunAdmin({"encrypt", "中"}, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, EncryptCredential("?") + "\n");
  EXPECT_NE(r.err.find("warning: TEXT"), std::string::npos);

  struct Bad {
    std::string text;
    const char* error;
  };
  for (const Bad& bad : {Bad{"", "Invalid file format"},
                         Bad{"T2xVYfBs FaVRMp9ju/w4Cw==", "Invalid Base64 Character"},
                         Bad{"T2xVYfBsFaVRMp9ju/w4Cw=", "Invalid Base64 Length"}}) {
    r = RunAdmin({"decrypt", bad.text}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string("kalvira-admin: ") + bad.error + "\n");
  }
}

TEST(KalviraAdminOfflineTest, WrongUsageExitsWithTwoAndTheUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"user"},
      {"user", "remove", "a@b"},
      {"user", "add", "a@b"},
      {"user", "add", "a@b", "pw", "extra"},
      {"user", "list", "extra"},
      {"message", "post", "nick"},
      {"version", "set", "50091215"},
      {"plugin", "add", "a", "1", "2"},
      {"encrypt"},
      {"decrypt", "a", "b"},
      {"schema", "now"},
  };
  for (const auto& args : cases) {
    const Result r = RunAdmin(args, "mysql://u:p@127.0.0.1:1/none");
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_TRUE(r.err.starts_with("kalvira-admin: ")) << r.err;
    EXPECT_TRUE(r.err.ends_with(admin::UsageText())) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // An unknown command is named, escaped.
  const Result unknown = RunAdmin({"\x1b[2Jwipe"}, "");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(unknown.err.starts_with("kalvira-admin: unknown command \"\\x1B[2Jwipe\"\n"))
      << unknown.err;

  const Result help = RunAdmin({"help"}, "");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, admin::UsageText());
}

TEST(KalviraAdminOfflineTest, ServiceFailuresExitWithOne) {
  Result r = RunAdmin({"user", "list"}, "mysql://u:p@127.0.0.1:1/none");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("kalvira-admin: ")) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

  r = RunAdmin({"user", "list"}, "not-a-url");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kalvira-admin: Invalid KALVIRA_SERVICE value\n");

  r = RunAdmin({"user", "add", "a@b", "pw"}, "mysql://u:p@127.0.0.1:1/");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kalvira-admin: KALVIRA_SERVICE names no schema\n");
}

TEST(KalviraAdminOfflineTest, ServiceErrorsNeverShowThePassword) {
  ASSERT_TEST_SERVICE(service);
  ServiceUrl wrong = service;
  wrong.password = "wrong-" + service.password;
  const Result r = RunAdmin({"message", "list"}, UrlOf(wrong));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Access denied"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(wrong.password), std::string::npos) << r.err;
}

TEST(ListFieldTest, EscapesWhatWouldBreakALineOrDriveTheTerminal) {
  EXPECT_EQ(admin::ListField("plain Ёж €"), "plain Ёж €");
  EXPECT_EQ(admin::ListField("a\\b\tc\nd\re"), "a\\\\b\\tc\\nd\\re");
  EXPECT_EQ(admin::ListField("\x1b[2J\x7f\x01"), "\\x1B[2J\\x7F\\x01");
  EXPECT_EQ(admin::ListField("\xC2\x98"), "\\u0098");
  EXPECT_EQ(admin::ListField("bad \xFF"), "bad \xEF\xBF\xBD");
}

}  // namespace
}  // namespace kalvira
