// Sending a message to the radio: what a key may type, the hidden mode, the checks and
// steps of a send and the 60-second wait that follows it. The message window is a thin
// view of this; the insert itself is the main window's SendChatMessage, given here as
// `send`.
//
// Threads: the user-interface thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/desktop_services.h"

namespace kalvira {

// The characters a key press may produce outside the hidden mode (84, beginning with a
// blank): no Latin letters, no "ё", no quotes or angle brackets.
inline constexpr std::u32string_view kAllowedMessageChars =
    U" 0123456789йцукенгшщзфывапролджхъэюбьтимсчя.,@ЙЦУКЕНГШЩЗХЪЭЖДЛОРПАВЫФЯЧСМИТЬБЮ!?%$()";
inline constexpr std::string_view kAccessPhrase = "36фывжэдл2э";
inline constexpr std::size_t kMessageMaxLength = 41;
inline constexpr std::size_t kHiddenMessageMaxLength = 1024;
inline constexpr int kWaitSeconds = 60;
inline constexpr unsigned kHiddenModeToneHz = 1700;
inline constexpr unsigned kHiddenModeToneMs = 150;

// The hidden mode's red bold nick.
std::string NickMarkup(std::string_view nick);

class TMessageSend {
 public:
  using SendFunction = std::function<void(const std::string& user, const std::string& message)>;

  // `box` and `beeper` must outlive this.
  TMessageSend(IMessageBox& box, IBeeper& beeper, SendFunction send);

  bool HiddenMode() const { return hidden_mode_; }
  // The most characters the message edit takes.
  std::size_t MaxLength() const;

  // Whether the characters a key press produces reach the edit: in hidden mode always;
  // otherwise only backspace and kAllowedMessageChars (every other character, control
  // characters included, is swallowed).
  bool KeyPasses(std::u32string_view typed) const;

  // A key went down in the message edit with `message` in it. F8 over exactly the access
  // phrase switches the hidden mode on for the rest of the run, sounds the tone
  // and returns true.
  bool KeyDown(std::string_view message, bool is_f8);

  // The send button: an empty nick or message is told in a box and nothing happens
  // (false). Otherwise the message goes out under the nick (in its markup in hidden
  // mode), whatever becomes of the insert, and the wait starts (true): the window then
  // disables the nick for good and closes.
  bool Send(const std::string& nick, const std::string& message);

  // One second of the wait; nothing when no wait runs.
  void Tick();

  bool TimerEnabled() const { return timer_enabled_; }
  int WaitSeconds() const { return wait_seconds_; }
  // "Отправить", or "Жди (N) сек" during the wait.
  const std::string& ButtonCaption() const { return button_caption_; }
  bool ButtonEnabled() const { return button_enabled_; }

 private:
  IMessageBox& box_;
  IBeeper& beeper_;
  SendFunction send_;
  bool hidden_mode_ = false;
  bool timer_enabled_ = false;
  int wait_seconds_ = 0;
  std::string button_caption_;
  bool button_enabled_ = true;
};

}  // namespace kalvira
