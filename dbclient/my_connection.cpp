#include "dbclient/my_connection.h"

#include <algorithm>

#include "base/cp1251.h"
#include "dbclient/my_driver.h"
#include "dbclient/my_query.h"

namespace kalvira {

void TMyConnectionOptions::CheckClosed(bool differs) const {
  if (differs && owner_->Connected()) throw EDatabaseError(my_messages::kOpenConnection);
}

void TMyConnectionOptions::SetCharset(const std::string& value) {
  CheckClosed(value != charset_);
  charset_ = value;
}

void TMyConnectionOptions::SetUseUnicode(bool value) {
  CheckClosed(value != use_unicode_);
  use_unicode_ = value;
}

void TMyConnectionOptions::SetDirect(bool value) {
  CheckClosed(value != direct_);
  direct_ = value;
}

void TMyConnectionOptions::SetCompress(bool value) {
  CheckClosed(value != compress_);
  compress_ = value;
}

void TMyConnectionOptions::SetOptimizedBigInt(bool value) {
  CheckClosed(value != optimized_big_int_);
  optimized_big_int_ = value;
}

TMyConnection::TMyConnection(std::string name) : name_(std::move(name)) {}

TMyConnection::~TMyConnection() {
  DoDisconnect();
  for (TMyQuery* query : queries_) query->connection_ = nullptr;
}

void TMyConnection::SetServer(const std::string& value) {
  if (value == server_) return;
  DoDisconnect();
  server_ = value;
}

void TMyConnection::SetPort(int value) {
  if (value == port_) return;
  DoDisconnect();
  port_ = value;
}

void TMyConnection::SetUsername(const std::string& value) {
  if (value == username_) return;
  DoDisconnect();
  username_ = value;
}

void TMyConnection::SetPassword(const std::string& value) {
  if (value == password_) return;
  DoDisconnect();
  password_ = value;
}

void TMyConnection::SetDatabase(const std::string& value) {
  const bool differs = value != database_;
  database_ = value;
  if (!differs || !driver_) return;
  TMySQLAPI& api = driver_->Api();
  TMySqlSession* session = driver_->Session();
  if (api.mysql_select_db(session, Utf8ToCp1251(value)) != 0) {
    bool broken = false;
    EMyError error = driver_->LastError(&broken);
    if (broken || error.IsFatalError()) DoDisconnect();
    throw error;
  }
}

bool TMyConnection::Connected() const {
  return driver_ != nullptr;
}

void TMyConnection::SetConnected(bool value) {
  if (value == Connected()) return;
  if (value) {
    DoConnect();
  } else {
    DoDisconnect();
  }
}

std::string TMyConnection::ServerVersion() const {
  return driver_ ? driver_->Session()->ServerVersion() : std::string();
}

std::uint32_t TMyConnection::ThreadId() const {
  return driver_ ? driver_->Session()->ThreadId() : 0;
}

TMySQLConnection& TMyConnection::Driver() {
  if (!driver_) DoConnect();
  return *driver_;
}

void TMyConnection::DoConnect() {
  TMySQLConnectionSettings settings;
  settings.host = Utf8ToCp1251(server_.empty() ? std::string("localhost") : server_);
  settings.port = port_;
  settings.user = Utf8ToCp1251(username_);
  settings.password = Utf8ToCp1251(password_);
  settings.schema = Utf8ToCp1251(database_);
  settings.connection_timeout = connection_timeout_;
  settings.charset = options_.charset_;
  settings.use_unicode = options_.use_unicode_;
  settings.compress = options_.compress_;
  settings.component = name_;
  driver_ = std::make_unique<TMySQLConnection>(settings, transport_factory_);
}

void TMyConnection::DoDisconnect() {
  if (!driver_) return;
  std::unique_ptr<TMySQLConnection> driver = std::move(driver_);
  driver->Close();
}

void TMyConnection::Attach(TMyQuery* query) {
  queries_.push_back(query);
}

void TMyConnection::Detach(TMyQuery* query) {
  queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

}  // namespace kalvira
