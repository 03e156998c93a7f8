// What the program asks of the desktop beyond its own windows: the shell's open action,
// the beeps, the modal message box and the alert pop-up. Each is a small interface so
// that the radio and online logic stays free of the toolkit and tests answer in its
// place; the program's implementations live in ui/ (Qt).
//
// Threads: every call comes from the user-interface thread. Texts are UTF-8.
#pragma once

#include <string>
#include <utility>

namespace kalvira {

// The shell's open action with the default handler. The outcome is never looked at.
class IShell {
 public:
  virtual ~IShell() = default;
  // A web address or a download link, opened with the user's default handler.
  virtual void OpenUrl(const std::string& url) = 0;
  // Shows `folder` (an absolute path) in the file manager; where the desktop can, with
  // `item` (a file inside it; may be empty) selected.
  virtual void OpenFolder(const std::string& folder, const std::string& item) = 0;
};

class IBeeper {
 public:
  virtual ~IBeeper() = default;
  // The system's default beep.
  virtual void Beep() = 0;
  // A tone of `frequency_hz` for `duration_ms`; returns when it has sounded.
  virtual void Tone(unsigned frequency_hz, unsigned duration_ms) = 0;
};

enum class MessageKind { kInformation, kWarning, kError };
enum class MessageButtons { kOkCancel, kYesNo };
enum class MessageResult { kOk, kCancel, kYes, kNo };

// One modal message box. In message texts a line break is LF followed by CR ("\n\r").
struct MessageBoxRequest {
  std::string text;
  MessageKind kind = MessageKind::kInformation;
  MessageButtons buttons = MessageButtons::kOkCancel;
  // The caption-and-picture form: a caption and a picture of the image list (1 to 10)
  // take the place of the kind's own caption and icon. picture 0 means the kind's.
  std::string caption;
  int picture = 0;
};

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // Shows the box modally and returns the button that closed it (Cancel or No when it
  // was closed otherwise).
  virtual MessageResult Show(const MessageBoxRequest& request) = 0;
};

// The error box of the program's own failures: the error kind with OK and Cancel, the
// kind's own caption and picture.
inline MessageResult ShowErrorBox(IMessageBox& box, std::string text) {
  MessageBoxRequest request;
  request.text = std::move(text);
  request.kind = MessageKind::kError;
  request.buttons = MessageButtons::kOkCancel;
  return box.Show(request);
}

// The alert pop-up's single message slot.
class IAlertPopup {
 public:
  virtual ~IAlertPopup() = default;
  // Text in the HTML subset: <b>, <br>, <font color="...">, their closing tags.
  virtual void SetText(const std::string& html) = 0;
  // Shows the slot at the bottom-right of the screen; it hides itself 500 ms later.
  virtual void Show() = 0;
};

}  // namespace kalvira
