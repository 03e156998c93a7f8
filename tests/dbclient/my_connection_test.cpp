// The connection and query objects against the private MariaDB server: authentication,
// one TCP connection across statements, result sets and inserts, every column kind,
// Windows-1251 text, server errors, lost and refused connections, large packets.
#include "dbclient/my_connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/service_url.h"
#include "dbclient/my_query.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

using testing::RunCommand;
using testing::RunMariadbClient;
using testing::ShellQuote;

void Configure(TMyConnection& connection, const ServiceUrl& service) {
  connection.SetServer(service.host);
  connection.SetPort(service.port);
  connection.SetUsername(service.user);
  connection.SetPassword(service.password);
  connection.SetDatabase(service.schema);
  connection.Options().SetCharset("cp1251");
}

std::string ScalarText(TMyConnection& connection, const std::string& sql) {
  TMyQuery query;
  query.SetConnection(&connection);
  query.SetSQL(sql);
  query.Execute();
  EXPECT_EQ(query.RowCount(), 1) << sql;
  return query.Fields(0).TextValue();
}

// The test's own table, dropped again afterwards.
class DbTest : public ::testing::Test {
 protected:
  void Exec(const std::string& sql) {
    query_.SetSQL(sql);
    query_.Execute();
  }

  TMyConnection connection_{"dbfncn"};
  TMyQuery query_{"dfqup"};
};

int ErrorCodeOf(const std::function<void()>& action, std::string* message = nullptr) {
  try {
    action();
  } catch (const EMyError& e) {
    if (message != nullptr) *message = e.what();
    return e.ErrorCode();
  }
  return 0;
}

TEST_F(DbTest, AuthenticationOutcomes) {
  ASSERT_TEST_SERVICE(service);
  struct Case {
    const char* what;
    std::string user;
    std::string password;
    std::string schema;
    int expected_code;
  } cases[] = {
      {"right password", service.user, service.password, service.schema, 0},
      {"wrong password", service.user, service.password + "x", service.schema, 1045},
      {"unknown schema", service.user, service.password, "no_such_schema_x", 1049},
      {"empty password", "kalvira_nopass", "", service.schema, 0},
      {"no schema", service.user, service.password, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMyConnection connection;
    connection.SetServer(service.host);
    connection.SetPort(service.port);
    connection.SetUsername(c.user);
    connection.SetPassword(c.password);
    connection.SetDatabase(c.schema);
    connection.Options().SetCharset("cp1251");
    std::string message;
    EXPECT_EQ(ErrorCodeOf([&] { connection.SetConnected(true); }, &message), c.expected_code)
        << message;
    EXPECT_EQ(connection.Connected(), c.expected_code == 0);
    if (c.expected_code != 0) {
      // A server error carries no client text: CR LF, then "#", the SQL state and text.
      EXPECT_EQ(message.rfind("\r\n#", 0), 0u) << message;
    } else {
      EXPECT_EQ(ScalarText(connection, "SELECT DATABASE()"), c.schema);
      EXPECT_EQ(ScalarText(connection, "SELECT @@character_set_connection"), "cp1251");
    }
  }
}

TEST_F(DbTest, SchemaIsSentInTheHandshakeAndSwitchedWhileOpen) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  connection_.SetConnected(true);
  EXPECT_EQ(ScalarText(connection_, "SELECT DATABASE()"), service.schema);
  const std::uint32_t id = connection_.ThreadId();
  connection_.SetDatabase("mysql");
  EXPECT_EQ(ScalarText(connection_, "SELECT DATABASE()"), "mysql");
  EXPECT_EQ(connection_.ThreadId(), id);
  EXPECT_EQ(ErrorCodeOf([&] { connection_.SetDatabase("no_such_schema_x"); }), 1049);
  EXPECT_TRUE(connection_.Connected());
}

TEST_F(DbTest, OneConnectionServesEveryStatementWhileSettingsStayEqual) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  const std::string first = ScalarText(connection_, "SELECT CONNECTION_ID()");
  for (int i = 0; i < 3; ++i) {
    // What every online feature does before its statement.
    Configure(connection_, service);
    EXPECT_TRUE(connection_.Connected());
    EXPECT_EQ(ScalarText(connection_, "SELECT CONNECTION_ID()"), first);
  }
  EXPECT_EQ(std::to_string(connection_.ThreadId()), first);

  // Options cannot change under an open connection; an equal value is fine.
  EXPECT_NO_THROW(connection_.Options().SetCharset("cp1251"));
  try {
    connection_.Options().SetCharset("utf8");
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on an open connection");
  }
  EXPECT_EQ(connection_.Options().Charset(), "cp1251");
  EXPECT_TRUE(connection_.Connected());

  // A different account value closes; the next statement opens a new connection.
  connection_.SetPassword(service.password + "-other");
  EXPECT_FALSE(connection_.Connected());
  connection_.SetPassword(service.password);
  EXPECT_NE(ScalarText(connection_, "SELECT CONNECTION_ID()"), first);
}

TEST_F(DbTest, SelectAndInsertLeaveTheQueryAsDescribed) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  Exec("DROP TABLE IF EXISTS t_rows");
  Exec(
      "CREATE TABLE t_rows (id INT AUTO_INCREMENT PRIMARY KEY, user VARCHAR(50), "
      "message VARCHAR(255)) DEFAULT CHARSET=cp1251");
  EXPECT_FALSE(query_.Active());
  EXPECT_TRUE(query_.AtEnd());

  // INSERT: no result set, the query stays closed.
  Exec("INSERT INTO t_rows (user, message) VALUES ('a', 'first')");
  EXPECT_FALSE(query_.Active());
  EXPECT_TRUE(query_.AtEnd());
  EXPECT_EQ(query_.RowCount(), 0);
  EXPECT_EQ(query_.RowsAffected(), 1);
  EXPECT_EQ(query_.InsertId(), 1u);
  try {
    query_.FieldNamed("version");
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "dfqup: Field 'version' not found");
  }

  struct Case {
    const char* sql;
    int rows;
  } cases[] = {
      {"SELECT id, user, message FROM t_rows WHERE id < 0", 0},
      {"SELECT id, user, message FROM t_rows WHERE id = 1", 1},
      {"SELECT id, user, message FROM t_rows ORDER BY id", 40},
  };
  for (int i = 2; i <= 40; ++i) {
    Exec("INSERT INTO t_rows (user, message) VALUES ('u" + std::to_string(i) + "', 'm" +
         std::to_string(i) + "')");
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    Exec(c.sql);
    EXPECT_TRUE(query_.Active());
    EXPECT_EQ(query_.RowCount(), c.rows);
    EXPECT_EQ(query_.AtEnd(), c.rows == 0);
    EXPECT_EQ(query_.FieldCount(), 3u);
    int seen = 0;
    for (; !query_.AtEnd(); query_.MoveNext()) {
      ++seen;
      EXPECT_EQ(query_.FieldNamed("ID").IntValue(), seen);
      EXPECT_EQ(query_.FieldNamed("Message").TextValue(),
                seen == 1 ? "first" : "m" + std::to_string(seen));
    }
    EXPECT_EQ(seen, c.rows);
    if (c.rows > 0) {
      // MoveNext from the last row stays on it.
      EXPECT_EQ(query_.FieldNamed("id").IntValue(), c.rows);
      query_.MoveFirst();
      EXPECT_FALSE(query_.AtEnd());
      EXPECT_EQ(query_.FieldNamed("id").IntValue(), 1);
    }
  }
  query_.SetActive(false);
  query_.SetActive(false);
  EXPECT_EQ(query_.RowCount(), 0);
  EXPECT_TRUE(connection_.Connected());

  // A duplicate key is a key violation; the connection stays open.
  try {
    Exec("INSERT INTO t_rows (id, user, message) VALUES (1, 'dup', 'dup')");
    ADD_FAILURE() << "no error";
  } catch (const EMyError& e) {
    EXPECT_EQ(e.ErrorCode(), 1062);
    EXPECT_TRUE(e.IsKeyViolation());
    EXPECT_FALSE(e.IsFatalError());
  }
  EXPECT_TRUE(connection_.Connected());

  // A column selected as PASSWORD is found under password.
  Exec("SELECT 'x' AS PASSWORD");
  EXPECT_EQ(query_.FieldNamed("password").TextValue(), "x");

  // Open() insists on a result set.
  query_.SetSQL("UPDATE t_rows SET user = user WHERE id = 1");
  try {
    query_.Open();
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Query must return exactly result set - use Execute");
  }
  EXPECT_FALSE(query_.Active());
  Exec("DROP TABLE t_rows");
}

TEST_F(DbTest, EveryColumnKindConverts) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  Exec("DROP TABLE IF EXISTS t_kinds");
  Exec(
      "CREATE TABLE t_kinds (c_int INT, c_uint INT UNSIGNED, c_big BIGINT, c_bool TINYINT(1), "
      "c_dec DECIMAL(10,3), c_dbl DOUBLE, c_date DATE, c_time TIME, c_time2 TIME, "
      "c_zero DATETIME, c_ts TIMESTAMP NULL, c_year YEAR, c_bit BIT(5), c_char CHAR(10), "
      "c_var VARCHAR(40), c_text TEXT, c_blob BLOB, c_enum ENUM('a','b'), c_set SET('x','y'), "
      "c_null INT, c_small SMALLINT, c_usmall TINYINT UNSIGNED) DEFAULT CHARSET=cp1251");
  Exec("SET SESSION sql_mode = ''");
  Exec(
      "INSERT INTO t_kinds VALUES (-5, 4000000000, -9000000000000000001, 1, -12.345, 1.5e3, "
      "'2024-02-29', '-01:30:05', '100:00:01', '0000-00-00 00:00:00', '2001-02-03 04:05:06', "
      "2024, b'10110', 'abc', 'var', 'long text', x'00ff41', 'b', 'x,y', NULL, -300, 250)");
  Exec("SELECT * FROM t_kinds");
  ASSERT_EQ(query_.RowCount(), 1);
  using enum TFieldType;
  struct Case {
    const char* name;
    TFieldType kind;
    const char* text;
    bool has_int;
    std::int32_t int_value;
  } cases[] = {
      {"c_int", ftInteger, "-5", true, -5},
      {"c_uint", ftLargeint, "4000000000", true, static_cast<std::int32_t>(4000000000u)},
      {"c_big", ftLargeint, "-9000000000000000001", true,
       static_cast<std::int32_t>(static_cast<std::uint32_t>(-9000000000000000001LL))},
      {"c_bool", ftBoolean, "True", true, 1},
      {"c_dec", ftFloat, "-12.345", true, -12},
      {"c_dbl", ftFloat, "1500", true, 1500},
      {"c_date", ftDate, "2024-02-29", false, 0},
      {"c_time", ftTime, "-01:30:05", false, 0},
      {"c_time2", ftTime, "100:00:01", false, 0},
      {"c_ts", ftDateTime, "2001-02-03 04:05:06", false, 0},
      {"c_year", ftWord, "2024", true, 2024},
      {"c_bit", ftLargeint, "22", true, 22},
      {"c_char", ftString, "abc", false, 0},
      {"c_var", ftString, "var", false, 0},
      {"c_text", ftMemo, "long text", false, 0},
      {"c_blob", ftBlob, "", false, 0},
      {"c_enum", ftString, "b", false, 0},
      {"c_set", ftString, "x,y", false, 0},
      {"c_small", ftSmallint, "-300", true, -300},
      {"c_usmall", ftWord, "250", true, 250},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TMyField& field = query_.FieldNamed(c.name);
    EXPECT_EQ(field.DataType(), c.kind);
    EXPECT_FALSE(field.IsNull());
    if (std::string(c.name) != "c_blob") {
      EXPECT_EQ(field.TextValue(), c.text);
    }
    if (c.has_int) {
      EXPECT_EQ(field.IntValue(), c.int_value);
    } else if (c.kind != ftString) {
      EXPECT_THROW(field.IntValue(), EDatabaseError);
    }
  }
  // 0x00 0xFF 0x41: 0xFF is "я" in Windows-1251.
  EXPECT_EQ(query_.FieldNamed("c_blob").TextValue(), std::string("\0"
                                                                 "\xd1\x8f"
                                                                 "A",
                                                                 4));
  EXPECT_EQ(query_.FieldNamed("c_char").Size(), 10);
  EXPECT_EQ(query_.FieldNamed("c_var").Size(), 40);
  // A time value is a day count: -01:30:05 lies before zero, 100 hours past four days.
  EXPECT_NEAR(query_.FieldNamed("c_time").DateTimeValue(), -(3600 + 1800 + 5) / 86400.0, 1e-9);
  EXPECT_NEAR(query_.FieldNamed("c_time2").DateTimeValue(), (100 * 3600 + 1) / 86400.0, 1e-9);
  for (const char* name : {"c_zero", "c_null"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(query_.FieldNamed(name).IsNull());
    EXPECT_EQ(query_.FieldNamed(name).TextValue(), "");
  }
  EXPECT_EQ(query_.FieldNamed("c_null").IntValue(), 0);
  // Text that is no integer.
  try {
    query_.FieldNamed("c_var").IntValue();
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'var' is not a valid integer value");
  }
  try {
    query_.FieldNamed("c_text").IntValue();
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot access field 'c_text' as type Integer");
  }
  Exec("DROP TABLE t_kinds");
}

TEST_F(DbTest, CyrillicQuotesAndBackslashesRoundTripInCp1251) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  Exec("DROP TABLE IF EXISTS t_text");
  Exec("CREATE TABLE t_text (id INT, message VARCHAR(200)) DEFAULT CHARSET=cp1251");
  const std::string cyrillic = "Привет, радио! Ёжик: «ура» №5";
  Exec("INSERT INTO t_text VALUES (1, '" + cyrillic + "')");
  // A quote doubled and a backslash escaped, as the statement builder writes them; a ":"
  // inside the literal is no parameter.
  Exec("INSERT INTO t_text VALUES (2, 'it''s C:\\\\dir\\\\ :name')");
  EXPECT_TRUE(query_.ParamNames().empty());

  // The server holds Windows-1251 bytes (second opinion: the mariadb client).
  const auto hex = RunMariadbClient(service, "SELECT HEX(message) FROM t_text WHERE id = 1");
  ASSERT_TRUE(hex.has_value());
  EXPECT_EQ(*hex, "CFF0E8E2E5F22C20F0E0E4E8EE2120A8E6E8EA3A20ABF3F0E0BB20B935\n");
  const auto text = RunMariadbClient(service, "SELECT message FROM t_text WHERE id = 1",
                                     "--default-character-set=utf8mb4");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, cyrillic + "\n");

  Exec("SELECT message FROM t_text ORDER BY id");
  EXPECT_EQ(query_.FieldNamed("message").TextValue(), cyrillic);
  query_.MoveNext();
  EXPECT_EQ(query_.FieldNamed("message").TextValue(), "it's C:\\dir\\ :name");
  Exec("DROP TABLE t_text");
}

TEST_F(DbTest, ParameterMarkersOutsideLiteralsAreSubstituted) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  query_.SetSQL("SELECT :Text AS t, ':no' AS q, :other AS o /* :c */ -- :d\n");
  ASSERT_EQ(query_.ParamNames(), (std::vector<std::string>{"Text", "other"}));
  query_.SetParamValue("text", "it's a \\ 'test'");
  query_.Execute();
  EXPECT_EQ(query_.FieldNamed("t").TextValue(), "it's a \\ 'test'");
  EXPECT_EQ(query_.FieldNamed("q").TextValue(), ":no");
  EXPECT_TRUE(query_.FieldNamed("o").IsNull());
  // Without a ":" the text is sent as it stands.
  query_.SetSQL("SELECT 'plain' AS p");
  EXPECT_TRUE(query_.ParamNames().empty());
  query_.Execute();
  EXPECT_EQ(query_.FieldNamed("p").TextValue(), "plain");
}

TEST_F(DbTest, MultiStatementTextKeepsTheFirstResultAndTheConnectionInStep) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  Exec("SELECT 1 AS a; SELECT 2 AS b; DO 3");
  EXPECT_EQ(query_.FieldNamed("a").IntValue(), 1);
  Exec("DO 1; SELECT 4 AS c");
  EXPECT_EQ(query_.FieldNamed("c").IntValue(), 4);
  Exec("SELECT 5 AS d");
  EXPECT_EQ(query_.FieldNamed("d").IntValue(), 5);
}

TEST_F(DbTest, SyntaxErrorKeepsTheConnectionOpen) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  Exec("SELECT 1");
  const std::uint32_t id = connection_.ThreadId();
  try {
    Exec("SELEC 1");
    ADD_FAILURE() << "no error";
  } catch (const EMyError& e) {
    EXPECT_EQ(e.ErrorCode(), 1064);
    EXPECT_EQ(std::string(e.what()).rfind("\r\n#42000You have an error in your SQL syntax", 0), 0u)
        << e.what();
    EXPECT_EQ(e.LineNumber(), 1);
    EXPECT_EQ(e.Component(), "dbfncn");
    EXPECT_FALSE(e.IsFatalError());
  }
  EXPECT_FALSE(query_.Active());
  EXPECT_TRUE(query_.AtEnd());
  EXPECT_THROW(query_.FieldNamed("version"), EDatabaseError);
  EXPECT_TRUE(connection_.Connected());
  Exec("SELECT 2");
  EXPECT_EQ(connection_.ThreadId(), id);
  EXPECT_EQ(query_.Fields(0).IntValue(), 2);
}

TEST_F(DbTest, ConnectionKilledFromAnotherSessionFailsOnceThenReconnects) {
  ASSERT_TEST_SERVICE(service);
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  Exec("SELECT 1");
  const std::uint32_t id = connection_.ThreadId();
  ASSERT_TRUE(RunMariadbClient(service, "KILL " + std::to_string(id)).has_value());
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { Exec("SELECT 2"); }, &message), 2013);
  EXPECT_EQ(message.rfind("Lost connection to MySQL server during query", 0), 0u) << message;
  EXPECT_FALSE(connection_.Connected());
  EXPECT_FALSE(query_.Active());
  Exec("SELECT 3");
  EXPECT_EQ(query_.Fields(0).IntValue(), 3);
  EXPECT_NE(connection_.ThreadId(), id);
}

// A server of the test's own, so the shared one stays up.
class OwnServer {
 public:
  OwnServer() {
    const char* build = std::getenv("KALVIRA_BUILD_DIR");
    const char* source = std::getenv("KALVIRA_SOURCE_DIR");
    script_ = std::string(source ? source : ".") + "/scripts/test-db.sh";
    dir_ = std::string(build ? build : "/tmp") + "/testdb-dbclient-stop";
    const auto url = RunCommand(ShellQuote(script_) + " start " + ShellQuote(dir_));
    if (url) service_ = ParseServiceUrl(std::string(TrimNewline(*url)));
  }
  ~OwnServer() { Stop(); }
  void Stop() { RunCommand(ShellQuote(script_) + " stop " + ShellQuote(dir_)); }
  const std::optional<ServiceUrl>& Service() const { return service_; }

 private:
  static std::string_view TrimNewline(std::string_view s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    return s;
  }
  std::string script_;
  std::string dir_;
  std::optional<ServiceUrl> service_;
};

TEST_F(DbTest, StoppedServerGivesLostThenRefused) {
  ASSERT_TEST_SERVICE(shared);  // only to skip where no server can run
  (void)shared;
  OwnServer server;
  ASSERT_TRUE(server.Service().has_value());
  const ServiceUrl& service = *server.Service();
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  Exec("SELECT 1");
  server.Stop();

  EXPECT_EQ(ErrorCodeOf([&] { Exec("SELECT 2"); }), 2013);
  EXPECT_FALSE(connection_.Connected());
  std::string message;
  EXPECT_EQ(ErrorCodeOf([&] { Exec("SELECT 3"); }, &message), 2003);
  EXPECT_EQ(message,
            "Can't connect to MySQL server on '127.0.0.1' (10061)\r\n"
            "Socket error on connect. WSAGetLastError return 10061($274D)");
  EXPECT_FALSE(connection_.Connected());
  EXPECT_FALSE(query_.Active());
}

TEST_F(DbTest, StatementsAndResultsBeyondOnePacket) {
  ASSERT_TEST_SERVICE(service);
  ASSERT_TRUE(RunMariadbClient(service, "SET GLOBAL max_allowed_packet = 67108864").has_value());
  Configure(connection_, service);
  query_.SetConnection(&connection_);
  Exec("DROP TABLE IF EXISTS t_big");
  Exec("CREATE TABLE t_big (id INT, body LONGBLOB, note VARCHAR(20000)) DEFAULT CHARSET=cp1251");

  // Over 8,192 bytes: the statement leaves the packet buffer.
  const std::string note(12000, 'n');
  Exec("INSERT INTO t_big VALUES (1, 'x', '" + note + "')");

  // Over 16 MiB: the statement and the row travel as several packets. The second size
  // makes the statement's payload (command byte included) exactly one full chunk, which
  // must be followed by an empty packet.
  const std::string prefix = "INSERT INTO t_big VALUES (2, '";
  const std::string suffix = "', 'big')";
  for (const std::size_t size :
       {std::size_t{17} << 20, std::size_t{0xFFFFFF} - 1 - prefix.size() - suffix.size()}) {
    SCOPED_TRACE(size);
    std::string body(size, 'a');
    for (std::size_t i = 0; i < body.size(); i += 4099) body[i] = static_cast<char>('b' + i % 20);
    Exec("DELETE FROM t_big WHERE id = 2");
    Exec(prefix + body + suffix);
    Exec("SELECT id, body, note FROM t_big ORDER BY id");
    ASSERT_EQ(query_.RowCount(), 2);
    EXPECT_EQ(query_.FieldNamed("note").TextValue(), note);
    query_.MoveNext();
    EXPECT_TRUE(query_.FieldNamed("body").TextValue() == body);
    EXPECT_EQ(query_.FieldNamed("note").TextValue(), "big");
  }
  Exec("DROP TABLE t_big");
}

}  // namespace
}  // namespace kalvira
