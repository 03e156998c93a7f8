// The private test server is up, reachable over TCP with the test account, and holds a
// cp1251 schema of its own.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace kalvira::testing {
namespace {

TEST(TestServer, AnswersTheCommandLineClient) {
  ASSERT_TEST_SERVICE(service);
  EXPECT_EQ(service.host, "127.0.0.1");
  const auto reply = RunMariadbClient(
      service, "SELECT @@bind_address, DATABASE(), @@character_set_database, CURRENT_USER()");
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, "127.0.0.1\t" + service.schema + "\tcp1251\t" + service.user + "@%\n");
}

}  // namespace
}  // namespace kalvira::testing
