// The service database as the main window owns it: the connection `dbfncn` and its two
// query objects, `dfqup` (update check, chat feed, sending a message) and `dnvjhe`
// (login, plug-in list), and the one calling pattern every online feature follows.
//
// The connection is never opened or closed explicitly: the first statement of a run
// opens it and it stays open until the process ends or the server drops it; the next
// statement then connects afresh. Nothing here retries.
//
// Threads: the user-interface thread only; every statement blocks it until the server
// has answered or the time-outs of the connection and the statement have run out.
#pragma once

#include <string>

#include "dbclient/my_connection.h"
#include "dbclient/my_query.h"

namespace kalvira {

class TServiceDatabase {
 public:
  // The components with their design-time settings; not configured yet (see Configure).
  TServiceDatabase();
  TServiceDatabase(const TServiceDatabase&) = delete;
  TServiceDatabase& operator=(const TServiceDatabase&) = delete;

  // ConfigureServiceConnection on dbfncn: the same values again leave an open connection
  // open. Throws "Invalid KALVIRA_SERVICE value" for a malformed KALVIRA_SERVICE.
  void Configure();

  // The calling pattern, steps 1 to 3: close `query`, set `sql`, execute it. A statement
  // with rows leaves `query` open on its first row; its result stays until the next Run
  // on the same query closes it. Throws what TMyQuery::Execute throws; `query` is then
  // closed (at its end, no rows).
  static void Run(TMyQuery& query, const std::string& sql);

  TMyConnection dbfncn{"dbfncn"};
  TMyQuery dfqup{"dfqup"};
  TMyQuery dnvjhe{"dnvjhe"};
};

}  // namespace kalvira
