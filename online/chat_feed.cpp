#include "online/chat_feed.h"

#include <exception>

#include "online/online_texts.h"
#include "online/service_database.h"
#include "online/service_statements.h"
#include "radio/settings_files.h"

namespace kalvira {

namespace {

// `text` cut to at most kMaxChatFieldBytes, never inside a UTF-8 sequence.
std::string Capped(std::string text) {
  if (text.size() <= kMaxChatFieldBytes) return text;
  std::size_t end = kMaxChatFieldBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace

std::string ChatLine(std::string_view user, std::string_view message) {
  std::string line;
  line.reserve(user.size() + message.size() + 6);
  line.append(user).append(": ").append(message).append("<br>");
  return line;
}

ChatFetch FetchChatMessages(TServiceDatabase& db, const TSettingsFiles& settings) {
  ChatFetch fetch;
  try {
    db.Configure();
    TServiceDatabase::Run(db.dfqup, std::string(statements::kChatQuery));
  } catch (const std::exception&) {
    fetch.failed = true;
  }
  if (!fetch.failed) {
    try {
      TMyQuery& q = db.dfqup;
      for (; !q.AtEnd() && fetch.lines.size() < statements::kChatRows; q.MoveNext()) {
        fetch.lines.push_back(ChatLine(Capped(q.FieldNamed("user").TextValue()),
                                       Capped(q.FieldNamed("message").TextValue())));
      }
    } catch (const std::exception&) {
      fetch.failed = true;
      fetch.lines.clear();
    }
  }
  if (fetch.failed) settings.LogError(online_texts::kChatFeedFailed);
  return fetch;
}

void SendChatMessage(TServiceDatabase& db, const TSettingsFiles& settings, std::string_view user,
                     std::string_view message) {
  try {
    db.Configure();
    TServiceDatabase::Run(db.dfqup, statements::InsertMessage(user, message));
  } catch (const std::exception&) {
    settings.LogError(online_texts::kSendFailed);
  }
}

}  // namespace kalvira
