#include "tests/online/service_fixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

namespace kalvira::testing {

namespace {

std::string PercentEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || c == '-' || c == '_' || c == '.') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

// A TCP port on 127.0.0.1 that was free a moment ago: bound, then closed again.
int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace

std::string ServiceUrlText(const ServiceUrl& url) {
  return "mysql://" + PercentEncoded(url.user) + ":" + PercentEncoded(url.password) + "@" +
         url.host + ":" + std::to_string(url.port) + "/" + PercentEncoded(url.schema);
}

void ServiceTest::SetUp() {
  ASSERT_TEST_SERVICE(service);
  if (const char* old = std::getenv("KALVIRA_SERVICE")) old_variable_ = old;
  service_ = service;
  service_.schema = "kalvira_online_" + std::to_string(std::random_device()());
  ServiceUrl server = service;
  server.schema.clear();
  ASSERT_TRUE(RunMariadbClient(server, "CREATE DATABASE " + service_.schema));
  created_ = true;
  const char* source_dir = std::getenv("KALVIRA_SOURCE_DIR");
  ASSERT_NE(source_dir, nullptr);
  ASSERT_TRUE(RunMariadbClient(service_,
                               "source " + std::string(source_dir) + "/online/service_schema.sql",
                               "--default-character-set=utf8mb4"));
  RestartServer();
}

void ServiceTest::TearDown() {
  if (created_) {
    ServiceUrl server = service_;
    server.schema.clear();
    RunMariadbClient(server, "DROP DATABASE IF EXISTS " + service_.schema);
  }
  if (old_variable_) {
    setenv("KALVIRA_SERVICE", old_variable_->c_str(), 1);
  } else {
    unsetenv("KALVIRA_SERVICE");
  }
}

std::string ServiceTest::Sql(const std::string& sql) {
  const auto reply = RunMariadbClient(service_, sql, "--default-character-set=utf8mb4");
  EXPECT_TRUE(reply) << sql;
  return reply.value_or("");
}

void ServiceTest::StopServer() {
  ServiceUrl stopped = service_;
  stopped.port = static_cast<std::uint16_t>(UnusedPort());
  setenv("KALVIRA_SERVICE", ServiceUrlText(stopped).c_str(), 1);
}

void ServiceTest::RestartServer() {
  setenv("KALVIRA_SERVICE", ServiceUrlText(service_).c_str(), 1);
}

}  // namespace kalvira::testing
