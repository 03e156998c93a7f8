// Times the database client on the two workloads of the chat feed and the connection
// cycle, for bench/dbclient/run.sh, which runs mysqlslap on the same work and prints
// the ratios.
//
//   dbclient_bench URL select N    N executions of the chat-feed SELECT on one connection
//   dbclient_bench URL connect N   N cycles of connect, "SET NAMES cp1251", COM_QUIT
//
// Prints the elapsed seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/service_url.h"
#include "dbclient/my_connection.h"
#include "dbclient/my_query.h"

namespace {

void Configure(kalvira::TMyConnection& connection, const kalvira::ServiceUrl& service) {
  connection.SetServer(service.host);
  connection.SetPort(service.port);
  connection.SetUsername(service.user);
  connection.SetPassword(service.password);
  connection.SetDatabase(service.schema);
  connection.Options().SetCharset("cp1251");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s URL select|connect COUNT\n", argv[0]);
    return 2;
  }
  const auto service = kalvira::ParseServiceUrl(argv[1]);
  if (!service) {
    std::fprintf(stderr, "bad URL\n");
    return 2;
  }
  const std::string mode = argv[2];
  const int count = std::atoi(argv[3]);
  try {
    const auto start = std::chrono::steady_clock::now();
    std::size_t rows = 0;
    if (mode == "select") {
      kalvira::TMyConnection connection;
      Configure(connection, *service);
      kalvira::TMyQuery query;
      query.SetConnection(&connection);
      for (int i = 0; i < count; ++i) {
        query.SetActive(false);
        query.SetSQL("SELECT id, user, message from ut_messages order by id desc limit 16 ");
        query.Execute();
        rows += static_cast<std::size_t>(query.RowCount());
      }
    } else if (mode == "connect") {
      for (int i = 0; i < count; ++i) {
        kalvira::TMyConnection connection;
        Configure(connection, *service);
        connection.SetConnected(true);
        connection.SetConnected(false);
      }
    } else {
      std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
      return 2;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%.4f\n", elapsed.count());
    if (mode == "select" && rows != static_cast<std::size_t>(count) * 16) {
      std::fprintf(stderr, "unexpected row count %zu\n", rows);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
