// What the skinned message box shows for one request: its caption, its picture, its text
// and its buttons, decided without the toolkit so that the rules are tested headless.
// TSkinnedMessageBox (ui/message_box.h) only lays the result out.
#pragma once

#include <string>
#include <vector>

#include "platform/desktop_services.h"

namespace kalvira::ui {

// The captions of the box, one place for every text it shows.
namespace message_box_text {
inline constexpr char kInformation[] = "Информация";
inline constexpr char kWarning[] = "Предупреждение";
inline constexpr char kError[] = "Ошибка";
inline constexpr char kOk[] = "OK";
inline constexpr char kCancel[] = "Отмена";
inline constexpr char kYes[] = "Да";
inline constexpr char kNo[] = "Нет";
}  // namespace message_box_text

struct MessageBoxButtonView {
  std::string caption;
  MessageResult result;
};

struct MessageBoxView {
  std::string caption;
  // A picture of the image list (1 to 10), or 0 for the kind's own icon.
  int picture = 0;
  MessageKind kind = MessageKind::kInformation;
  // Plain text (never markup); "\n" breaks a line.
  std::string text;
  // Left to right; the first is the default button (Enter).
  std::vector<MessageBoxButtonView> buttons;
  // What closing the box otherwise (Escape, the window manager) returns.
  MessageResult dismiss_result = MessageResult::kCancel;
};

// Message texts break lines with LF CR; a lone LF or CR breaks a line too, and a CR is
// never shown.
std::string MessageBoxLines(const std::string& text);

MessageBoxView MakeMessageBoxView(const MessageBoxRequest& request);

}  // namespace kalvira::ui
