// The table of client calls (TMySQLAPI) named after the MySQL C API, and its direct
// implementation over TMySqlSession (TMySQLAPIDirect). The calls never raise the
// protocol's exceptions: a failure is stored as the session's last error number and
// text and reported by the return value, as the C API does.
//
// Threads: the one shared TMySQLAPIDirect instance may be used from any thread; its
// statement buffer is guarded by a lock held only while a statement is sent. A session
// is used by one thread at a time.
// Internal to dbclient/.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/mutex.h"
#include "base/thread_annotations.h"
#include "dbclient/my_session.h"

namespace kalvira {

// mysql_options option numbers.
enum MySqlOption : int {
  MYSQL_OPT_CONNECT_TIMEOUT = 0,
  MYSQL_OPT_NAMED_PIPE = 2,
  MYSQL_OPT_PROTOCOL = 9,
  MYSQL_OPT_READ_TIMEOUT = 11,
  MYSQL_OPT_WRITE_TIMEOUT = 12,
};

class TMySQLAPI {
 public:
  virtual ~TMySQLAPI() = default;
  virtual std::unique_ptr<TMySqlSession> mysql_init(TMySqlSession::VioFactory factory) = 0;
  virtual void mysql_options(TMySqlSession* session, int option, int value) = 0;
  // Returns false on failure (the session's last error tells why).
  virtual bool mysql_real_connect(TMySqlSession* session, const std::string& host,
                                  const std::string& user, const std::string& password,
                                  const std::string& schema, int port,
                                  std::uint32_t client_flags) = 0;
  virtual void mysql_close(TMySqlSession* session) = 0;
  virtual int mysql_select_db(TMySqlSession* session, const std::string& schema) = 0;
  virtual int mysql_real_query(TMySqlSession* session, const std::string& statement) = 0;
  virtual int mysql_ping(TMySqlSession* session) = 0;
  virtual int mysql_kill(TMySqlSession* session, std::uint32_t thread_id) = 0;
  virtual int mysql_errno(const TMySqlSession* session) = 0;
  virtual std::string mysql_error(const TMySqlSession* session) = 0;
  virtual std::string mysql_get_server_info(const TMySqlSession* session) = 0;
  virtual std::string mysql_get_client_info() = 0;
  virtual std::uint32_t mysql_thread_id(const TMySqlSession* session) = 0;
  virtual std::uint64_t mysql_field_count(const TMySqlSession* session) = 0;
  virtual std::uint64_t mysql_affected_rows(const TMySqlSession* session) = 0;
  virtual std::uint64_t mysql_insert_id(const TMySqlSession* session) = 0;
  // Null without a result, or on error.
  virtual std::unique_ptr<TMySqlResultSet> mysql_use_result(TMySqlSession* session) = 0;
  // False at the end of the rows or on error (mysql_errno tells which).
  virtual bool mysql_fetch_row(TMySqlResultSet* result) = 0;
  virtual void mysql_free_result(std::unique_ptr<TMySqlResultSet> result) = 0;
  virtual bool mysql_more_results(const TMySqlSession* session) = 0;
  virtual int mysql_next_result(TMySqlSession* session) = 0;
};

class TMySQLAPIDirect : public TMySQLAPI {
 public:
  // The one shared instance.
  static TMySQLAPIDirect& Instance();

  std::unique_ptr<TMySqlSession> mysql_init(TMySqlSession::VioFactory factory) override;
  void mysql_options(TMySqlSession* session, int option, int value) override;
  bool mysql_real_connect(TMySqlSession* session, const std::string& host, const std::string& user,
                          const std::string& password, const std::string& schema, int port,
                          std::uint32_t client_flags) override;
  void mysql_close(TMySqlSession* session) override;
  int mysql_select_db(TMySqlSession* session, const std::string& schema) override;
  int mysql_real_query(TMySqlSession* session, const std::string& statement) override
      EXCLUDES(query_mutex_);
  int mysql_ping(TMySqlSession* session) override;
  int mysql_kill(TMySqlSession* session, std::uint32_t thread_id) override;
  int mysql_errno(const TMySqlSession* session) override { return session->LastErrno(); }
  std::string mysql_error(const TMySqlSession* session) override {
    return session->LastErrorText();
  }
  std::string mysql_get_server_info(const TMySqlSession* session) override {
    return session->ServerVersion();
  }
  std::string mysql_get_client_info() override { return "4.1.3 Direct"; }
  std::uint32_t mysql_thread_id(const TMySqlSession* session) override {
    return session->ThreadId();
  }
  std::uint64_t mysql_field_count(const TMySqlSession* session) override {
    return session->FieldCount();
  }
  std::uint64_t mysql_affected_rows(const TMySqlSession* session) override {
    return session->AffectedRows();
  }
  std::uint64_t mysql_insert_id(const TMySqlSession* session) override {
    return session->InsertId();
  }
  std::unique_ptr<TMySqlResultSet> mysql_use_result(TMySqlSession* session) override;
  bool mysql_fetch_row(TMySqlResultSet* result) override;
  void mysql_free_result(std::unique_ptr<TMySqlResultSet> result) override;
  bool mysql_more_results(const TMySqlSession* session) override { return session->MoreResults(); }
  int mysql_next_result(TMySqlSession* session) override;

 private:
  Mutex query_mutex_;
  std::vector<std::uint8_t> query_buffer_ GUARDED_BY(query_mutex_);
};

}  // namespace kalvira
