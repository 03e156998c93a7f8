#include "online/update_check.h"

#include <charconv>
#include <exception>

#include "online/online_texts.h"
#include "online/service_database.h"
#include "online/service_statements.h"
#include "radio/settings_files.h"

namespace kalvira {

namespace {

// The version column as a number. Integers are read from their decimal text, so a
// value beyond 32 bits keeps its size; anything else goes through the field's own
// conversion, which raises for what is not an integer.
std::int64_t ReadVersion(const TMyField& field) {
  if (field.IsNull()) return 0;
  const std::string text = field.TextValue();
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size()) return value;
  return field.IntValue();
}

}  // namespace

std::string VersionText(std::string_view digits) {
  std::string text(digits.substr(0, 1));
  if (digits.size() > 1) text.append(".").append(digits.substr(1, 1));
  if (digits.size() > 2) text.append(online_texts::kVersionBuild).append(digits.substr(2));
  return text;
}

std::string UpdateMessage(std::string_view current_version_text,
                          std::string_view available_version_text) {
  using namespace online_texts;
  std::string text;
  text.append(kUpdateCongratulations).append(kLineBreak).append(kUpdateNewVersion);
  text.append(kLineBreak).append(kLineBreak).append(kUpdateCurrent);
  text.append(current_version_text).append(kLineBreak);
  text.append(kUpdateAvailable).append(available_version_text);
  text.append(kLineBreak).append(kLineBreak);
  text.append(kUpdateMust).append(kLineBreak).append(kUpdateOtherwise).append(kLineBreak);
  text.append(kUpdateQuestion);
  return text;
}

bool CheckForProgramUpdate(TServiceDatabase& db, const TSettingsFiles& settings, IMessageBox& box,
                           IShell& shell, const std::function<void(int)>& terminate) {
  try {
    db.Configure();
    TServiceDatabase::Run(db.dfqup, statements::VersionQuery());
  } catch (const std::exception&) {
    settings.LogError(online_texts::kUpdateCheckFailed);
  }
  try {
    const TMyField& version = db.dfqup.FieldNamed("version");
    if (ReadVersion(version) <= kProgramVersionNumber) return false;
    MessageBoxRequest request;
    request.text = UpdateMessage(VersionText(std::to_string(kProgramVersionNumber)),
                                 VersionText(version.TextValue()));
    request.kind = MessageKind::kWarning;
    request.buttons = MessageButtons::kYesNo;
    if (box.Show(request) == MessageResult::kYes) {
      shell.OpenUrl(db.dfqup.FieldNamed("link").TextValue());
    }
  } catch (const std::exception&) {
    settings.LogError(online_texts::kUpdateQueryFailed);
    return false;
  }
  terminate(0);
  return true;
}

}  // namespace kalvira
