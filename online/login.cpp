#include "online/login.h"

#include <exception>

#include "dbclient/my_query.h"
#include "online/credential_cipher.h"
#include "online/online_texts.h"
#include "online/service_database.h"
#include "online/service_statements.h"
#include "radio/settings_files.h"
#include "radio/settings_keys.h"

namespace kalvira {

TLogin::TLogin(TMyQuery& dnvjhe, const TSettingsFiles& settings, IMessageBox& box)
    : dnvjhe_(dnvjhe), settings_(settings), box_(box) {}

TLogin::Remembered TLogin::WindowShown() {
  login_pending_ = true;
  Remembered remembered;
  try {
    remembered.username = settings_.ReadConfigValue(settings::kUserName);
    remembered.password = DecryptCredential(settings_.ReadConfigValue(settings::kPassword));
  } catch (const std::exception&) {
    MessageBoxRequest request;
    request.text = std::string(online_texts::kCorruptedBefore)
                       .append(online_texts::kLineBreak)
                       .append(online_texts::kCorruptedAfter);
    request.kind = MessageKind::kWarning;
    request.buttons = MessageButtons::kOkCancel;
    box_.Show(request);
  }
  return remembered;
}

TLogin::Outcome TLogin::LoginToService(const std::string& email, const std::string& password,
                                       const std::function<void()>& apply_to_windows) {
  try {
    TServiceDatabase::Run(dnvjhe_, statements::PasswordOfAccount(email));
  } catch (const std::exception&) {
    settings_.LogError(online_texts::kLoginFailed);
  }
  if (dnvjhe_.AtEnd()) {
    ShowErrorBox(
        box_,
        std::string(online_texts::kDeniedBefore).append(email).append(online_texts::kDeniedAfter));
    return Outcome::kDenied;
  }
  const std::string cipher_text = EncryptCredential(password);
  if (cipher_text != dnvjhe_.FieldNamed("password").TextValue()) {
    ShowErrorBox(box_, std::string(online_texts::kWrongPassword));
    return Outcome::kWrongPassword;
  }
  login_pending_ = false;
  if (apply_to_windows) apply_to_windows();
  settings_.WriteConfigValue(settings::kUserName, email);
  settings_.WriteConfigValue(settings::kPassword, cipher_text);
  return Outcome::kSuccess;
}

}  // namespace kalvira
