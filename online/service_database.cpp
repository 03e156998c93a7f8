#include "online/service_database.h"

#include "online/service_config.h"

namespace kalvira {

TServiceDatabase::TServiceDatabase() {
  // Statements are built whole by concatenation; a ":" in a value must never be taken
  // for a parameter marker.
  for (TMyQuery* query : {&dfqup, &dnvjhe}) {
    query->SetConnection(&dbfncn);
    query->SetParamCheck(false);
  }
}

void TServiceDatabase::Configure() {
  ConfigureServiceConnection(dbfncn);
}

void TServiceDatabase::Run(TMyQuery& query, const std::string& sql) {
  query.Close();
  query.SetSQL(sql);
  query.Execute();
}

}  // namespace kalvira
