// A fresh service schema on the private test server for one test: the shipped tables
// (online/service_schema.sql), KALVIRA_SERVICE naming that schema while the test runs
// (so ConfigureServiceConnection reaches it), a program folder whose error log the test
// reads back, and the service components as the main window owns them. Skips the test
// when there is no test server (see ASSERT_TEST_SERVICE). Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/service_url.h"
#include "online/service_database.h"
#include "tests/radio/radio_fixture.h"

namespace kalvira::testing {

// `url` as a KALVIRA_SERVICE value, percent-encoding what needs it.
std::string ServiceUrlText(const ServiceUrl& url);

class ServiceTest : public ::testing::Test {
 public:
  // Runs SQL in the fresh schema through the mariadb client (UTF-8 in and out); fails
  // the test when the client does.
  std::string Sql(const std::string& sql);

 protected:
  void SetUp() override;
  void TearDown() override;

  // The error log of the program folder.
  std::vector<std::string> Log() const { return folder_.LogMessages(); }
  // Points KALVIRA_SERVICE at a port where nothing listens, as a stopped server looks,
  // or back at the schema.
  void StopServer();
  void RestartServer();

  ServiceUrl service_;  // the fresh schema
  ProgramFolder folder_;
  TServiceDatabase db_;

 private:
  std::optional<std::string> old_variable_;
  bool created_ = false;
};

}  // namespace kalvira::testing
