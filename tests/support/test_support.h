// Helpers shared by the test suite: a temporary folder per test, waiting on a condition
// with a deadline (never sleeping as synchronisation), files, and the private MariaDB
// server that scripts/test.sh starts for the run.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/service_url.h"

namespace kalvira::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name, as a string.
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Polls `condition` until it holds or `deadline` passes; returns its last value.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(30));

std::string ReadFileBytes(const std::filesystem::path& path);
// The names of the entries of a folder.
std::set<std::string> Listing(const std::filesystem::path& dir);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// The bytes as upper-case hexadecimal digits, two per byte ("1F0A").
std::string HexBytes(std::string_view bytes);

// Runs a shell command; returns its standard output. Fails the test (and returns
// nothing) when it exits non-zero.
std::optional<std::string> RunCommand(const std::string& command);
// Quotes one argument for /bin/sh.
std::string ShellQuote(const std::string& arg);

// The private test server. When KALVIRA_SERVICE is unset the test is skipped, unless
// KALVIRA_REQUIRE_DB=1 (set by scripts/test.sh), where that is a failure.
// Use as: ASSERT_TEST_SERVICE(url);
std::optional<ServiceUrl> TestService(std::string* why_missing);

// Runs SQL through the mariadb command-line client against the test server (batch
// mode, tab-separated, no column names); the reply is returned as the client prints it.
std::optional<std::string> RunMariadbClient(const ServiceUrl& service, const std::string& sql,
                                            const std::string& extra_options = "");

}  // namespace kalvira::testing

#define ASSERT_TEST_SERVICE(var)                                           \
  std::string var##_why;                                                   \
  auto var##_opt = ::kalvira::testing::TestService(&var##_why);            \
  if (!var##_opt) {                                                        \
    if (std::getenv("KALVIRA_REQUIRE_DB") != nullptr) FAIL() << var##_why; \
    GTEST_SKIP() << var##_why;                                             \
  }                                                                        \
  const ::kalvira::ServiceUrl& var = *var##_opt
