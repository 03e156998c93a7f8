// The plug-in list against the private server.
#include "online/plugin_list.h"

#include <gtest/gtest.h>

#include "base/exception.h"
#include "tests/online/service_fixture.h"

namespace kalvira {
namespace {

using PluginListTest = testing::ServiceTest;

TEST_F(PluginListTest, RowsInServerOrderWithTheSizeInKb) {
  db_.Configure();
  EXPECT_TRUE(LoadPluginList(db_.dnvjhe).empty());
  Sql("INSERT INTO ut_plugins (name, size, version, link) VALUES "
      "('Эквалайзер', 120, '1.0', 'https://example.org/eq.zip'),"
      "('<b>Skin</b> \\'x\\'', 0, '2.0 beta', 'file:///tmp/a b')");
  std::vector<PluginItem> items = LoadPluginList(db_.dnvjhe);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].name, "Эквалайзер");
  EXPECT_EQ(items[0].size, "120 Kb");
  EXPECT_EQ(items[0].version, "1.0");
  EXPECT_EQ(items[0].link, "https://example.org/eq.zip");
  EXPECT_EQ(items[1].name, "<b>Skin</b> 'x'");
  EXPECT_EQ(items[1].size, "0 Kb");
  // Read again at every call.
  Sql("INSERT INTO ut_plugins (name, size, version, link) VALUES ('c', 1, '1', 'l')");
  EXPECT_EQ(LoadPluginList(db_.dnvjhe).size(), 3u);
  EXPECT_EQ(db_.dnvjhe.SQL(), "select * from ut_plugins");
}

TEST_F(PluginListTest, FailureIsNotCaught) {
  db_.Configure();
  Sql("DROP TABLE ut_plugins");
  EXPECT_THROW(LoadPluginList(db_.dnvjhe), Exception);
  EXPECT_TRUE(db_.dnvjhe.AtEnd());
  // Columns of other names are a failure too.
  Sql("CREATE TABLE ut_plugins (title TEXT); INSERT INTO ut_plugins VALUES ('a')");
  EXPECT_THROW(LoadPluginList(db_.dnvjhe), Exception);
}

}  // namespace
}  // namespace kalvira
