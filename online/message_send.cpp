#include "online/message_send.h"

#include "online/online_texts.h"

namespace kalvira {

namespace {

constexpr std::string_view kSendCaption = "Отправить";
constexpr std::string_view kWaitBefore = "Жди (";
constexpr std::string_view kWaitAfter = ") сек";
constexpr std::string_view kNickBefore = "<B><FONT color=\"#FF0000\">";
constexpr std::string_view kNickAfter = "</FONT></b>";
constexpr char32_t kBackspace = U'\b';

}  // namespace

std::string NickMarkup(std::string_view nick) {
  return std::string(kNickBefore).append(nick).append(kNickAfter);
}

TMessageSend::TMessageSend(IMessageBox& box, IBeeper& beeper, SendFunction send)
    : box_(box), beeper_(beeper), send_(std::move(send)), button_caption_(kSendCaption) {}

std::size_t TMessageSend::MaxLength() const {
  return hidden_mode_ ? kHiddenMessageMaxLength : kMessageMaxLength;
}

bool TMessageSend::KeyPasses(std::u32string_view typed) const {
  if (hidden_mode_) return true;
  for (const char32_t c : typed) {
    if (c != kBackspace && kAllowedMessageChars.find(c) == std::u32string_view::npos) return false;
  }
  return true;
}

bool TMessageSend::KeyDown(std::string_view message, bool is_f8) {
  if (!is_f8 || message != kAccessPhrase) return false;
  hidden_mode_ = true;
  beeper_.Tone(kHiddenModeToneHz, kHiddenModeToneMs);
  return true;
}

bool TMessageSend::Send(const std::string& nick, const std::string& message) {
  if (nick.empty()) {
    ShowErrorBox(box_, std::string(online_texts::kNoNick));
    return false;
  }
  if (message.empty()) {
    ShowErrorBox(box_, std::string(online_texts::kEmptyMessage));
    return false;
  }
  send_(hidden_mode_ ? NickMarkup(nick) : nick, message);
  wait_seconds_ = kWaitSeconds;
  timer_enabled_ = true;
  // Held off from the send on, not only from the first tick, so that a window opened
  // again at once cannot send a second message.
  button_enabled_ = false;
  return true;
}

void TMessageSend::Tick() {
  if (!timer_enabled_) return;
  --wait_seconds_;
  button_caption_ =
      std::string(kWaitBefore) + std::to_string(wait_seconds_) + std::string(kWaitAfter);
  button_enabled_ = false;
  if (wait_seconds_ <= 0) {
    timer_enabled_ = false;
    button_enabled_ = true;
    button_caption_ = std::string(kSendCaption);
  }
}

}  // namespace kalvira
