#include "dbclient/my_api.h"

#include <cstring>

namespace kalvira {

namespace {

// Runs one session operation; a protocol failure becomes the session's last error and
// the returned code (0 on success).
template <class Fn>
int Guarded(TMySqlSession* session, Fn&& fn) {
  session->SetLastError(0, {});
  try {
    fn();
    return 0;
  } catch (const EMySqlException& e) {
    session->SetLastError(e.Code(), e.what());
  } catch (const SocketException& e) {
    session->SetLastError(e.Code(), e.what());
  }
  return session->LastErrno() != 0 ? session->LastErrno() : CR_UNKNOWN_ERROR;
}

}  // namespace

TMySQLAPIDirect& TMySQLAPIDirect::Instance() {
  static TMySQLAPIDirect instance;
  return instance;
}

std::unique_ptr<TMySqlSession> TMySQLAPIDirect::mysql_init(TMySqlSession::VioFactory factory) {
  return std::make_unique<TMySqlSession>(std::move(factory));
}

void TMySQLAPIDirect::mysql_options(TMySqlSession* session, int option, int value) {
  switch (option) {
    case MYSQL_OPT_CONNECT_TIMEOUT:
      session->SetConnectTimeout(value);
      break;
    case MYSQL_OPT_NAMED_PIPE:
      session->SetProtocol(ProtocolKind::kPipe);
      break;
    case MYSQL_OPT_PROTOCOL:
      session->SetProtocol(static_cast<ProtocolKind>(value));
      break;
    case MYSQL_OPT_READ_TIMEOUT:
    case MYSQL_OPT_WRITE_TIMEOUT:
      session->SetReadTimeout(value);
      break;
    default:
      break;
  }
}

bool TMySQLAPIDirect::mysql_real_connect(TMySqlSession* session, const std::string& host,
                                         const std::string& user, const std::string& password,
                                         const std::string& schema, int port,
                                         std::uint32_t client_flags) {
  return Guarded(session,
                 [&] { session->Connect(host, user, password, schema, port, client_flags); }) == 0;
}

void TMySQLAPIDirect::mysql_close(TMySqlSession* session) {
  session->Close();
}

int TMySQLAPIDirect::mysql_select_db(TMySqlSession* session, const std::string& schema) {
  return Guarded(session, [&] { session->SelectDb(schema); });
}

int TMySQLAPIDirect::mysql_real_query(TMySqlSession* session, const std::string& statement) {
  return Guarded(session, [&] {
    {
      MutexLock lock(query_mutex_);
      if (query_buffer_.size() < statement.size()) query_buffer_.resize(statement.size());
      if (!statement.empty()) std::memcpy(query_buffer_.data(), statement.data(), statement.size());
      session->SendQuery(query_buffer_.data(), statement.size());
    }
    session->ReadQueryResult();
  });
}

int TMySQLAPIDirect::mysql_ping(TMySqlSession* session) {
  return Guarded(session, [&] { session->Ping(); });
}

int TMySQLAPIDirect::mysql_kill(TMySqlSession* session, std::uint32_t thread_id) {
  return Guarded(session, [&] { session->Kill(thread_id); });
}

std::unique_ptr<TMySqlResultSet> TMySQLAPIDirect::mysql_use_result(TMySqlSession* session) {
  std::unique_ptr<TMySqlResultSet> result;
  Guarded(session, [&] { result = session->UseResult(); });
  return result;
}

bool TMySQLAPIDirect::mysql_fetch_row(TMySqlResultSet* result) {
  TMySqlSession* session = result->Session();
  bool got = false;
  if (Guarded(session, [&] { got = session->FetchRow(*result); }) != 0) {
    if (!session->MoreResults()) session->AbandonResult();
  }
  return got;
}

void TMySQLAPIDirect::mysql_free_result(std::unique_ptr<TMySqlResultSet> result) {
  if (!result) return;
  TMySqlSession* session = result->Session();
  const int saved_errno = session->LastErrno();
  const std::string saved_error = session->LastErrorText();
  if (Guarded(session, [&] { session->FreeResult(*result); }) != 0) {
    session->AbandonResult();
  }
  // Freeing swallows its own failures; the error that led here stays visible.
  if (saved_errno != 0) {
    session->SetLastError(saved_errno, saved_error);
  }
}

int TMySQLAPIDirect::mysql_next_result(TMySqlSession* session) {
  int outcome = -1;
  const int code = Guarded(session, [&] { outcome = session->NextResult(); });
  return code != 0 ? code : outcome;
}

}  // namespace kalvira
