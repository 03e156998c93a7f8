#include "online/service_schema.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "online/service_config.h"
#include "tests/support/test_support.h"

namespace kalvira {
namespace {

TEST(ServiceSchemaTest, StatementsCreateEachTableOnlyWhenMissing) {
  const auto statements = ServiceSchemaStatements();
  ASSERT_EQ(statements.size(), 4u);
  const char* tables[] = {"ut_messages", "ut_users", "ut_plugins", "ut_versions"};
  for (std::size_t i = 0; i < statements.size(); ++i) {
    EXPECT_TRUE(statements[i].starts_with(std::string("CREATE TABLE IF NOT EXISTS ") + tables[i]))
        << statements[i];
    EXPECT_TRUE(statements[i].ends_with("DEFAULT CHARSET=cp1251")) << statements[i];
    EXPECT_EQ(statements[i].find("--"), std::string::npos);
  }
}

// The file runs twice in a fresh database, keeps rows, and gives the tables and columns
// the program reads, in Windows-1251.
TEST(ServiceSchemaTest, FileRunsTwiceOnTheServer) {
  ASSERT_TEST_SERVICE(service);
  ServiceUrl fresh = service;
  fresh.schema = "kalvira_schema_" + std::to_string(std::random_device()());
  ServiceUrl server = service;
  server.schema.clear();
  ASSERT_TRUE(testing::RunMariadbClient(server, "CREATE DATABASE " + fresh.schema));
  struct Drop {
    const ServiceUrl& server;
    const std::string& schema;
    ~Drop() { testing::RunMariadbClient(server, "DROP DATABASE IF EXISTS " + schema); }
  } drop{server, fresh.schema};
  const char* source_dir = std::getenv("KALVIRA_SOURCE_DIR");
  ASSERT_NE(source_dir, nullptr);
  const std::string file = std::string(source_dir) + "/online/service_schema.sql";
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(testing::RunMariadbClient(fresh, "source " + file));
    if (run == 0) {
      ASSERT_TRUE(testing::RunMariadbClient(
          fresh, "insert into ut_messages (user,message) values ('n','m')"));
    }
  }
  const auto columns = testing::RunMariadbClient(
      server,
      "SELECT TABLE_NAME, COLUMN_NAME, CHARACTER_SET_NAME FROM information_schema.COLUMNS "
      "WHERE TABLE_SCHEMA = '" +
          fresh.schema + "' ORDER BY TABLE_NAME, ORDINAL_POSITION");
  ASSERT_TRUE(columns);
  EXPECT_EQ(*columns,
            "ut_messages\tid\tNULL\n"
            "ut_messages\tuser\tcp1251\n"
            "ut_messages\tmessage\tcp1251\n"
            "ut_plugins\tid\tNULL\n"
            "ut_plugins\tname\tcp1251\n"
            "ut_plugins\tsize\tNULL\n"
            "ut_plugins\tversion\tcp1251\n"
            "ut_plugins\tlink\tcp1251\n"
            "ut_users\tid\tNULL\n"
            "ut_users\temail\tcp1251\n"
            "ut_users\tpassword\tcp1251\n"
            "ut_users\tis_banned\tNULL\n"
            "ut_versions\tid_main\tNULL\n"
            "ut_versions\tversion\tNULL\n"
            "ut_versions\tlink\tcp1251\n");
  // The program's own statements run against it; the row of the first run survived.
  const auto rows = testing::RunMariadbClient(
      fresh,
      "SELECT id, user, message from ut_messages order by id desc limit 16 ;"
      "SELECT version, link from ut_versions where id_main = 0;"
      "select * from ut_plugins;"
      "select password from ut_users where is_banned = 0 and email = 'x'");
  ASSERT_TRUE(rows);
  EXPECT_EQ(*rows, "1\tn\tm\n");
}

}  // namespace
}  // namespace kalvira
