#include "ui/message_box_model.h"

#include "ui/image_list_range.h"

namespace kalvira::ui {

std::string MessageBoxLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') {
      out += '\n';
      // One break for each pair, whichever order the pair comes in.
      const char next = i + 1 < text.size() ? text[i + 1] : '\0';
      if ((next == '\n' || next == '\r') && next != c) ++i;
    } else {
      out += c;
    }
  }
  return out;
}

MessageBoxView MakeMessageBoxView(const MessageBoxRequest& request) {
  namespace t = message_box_text;
  MessageBoxView view;
  view.kind = request.kind;
  switch (request.kind) {
    case MessageKind::kInformation:
      view.caption = t::kInformation;
      break;
    case MessageKind::kWarning:
      view.caption = t::kWarning;
      break;
    case MessageKind::kError:
      view.caption = t::kError;
      break;
  }
  if (!request.caption.empty()) view.caption = request.caption;
  if (IsImageListIndex(request.picture)) view.picture = request.picture;
  view.text = MessageBoxLines(request.text);
  if (request.buttons == MessageButtons::kYesNo) {
    view.buttons = {{t::kYes, MessageResult::kYes}, {t::kNo, MessageResult::kNo}};
    view.dismiss_result = MessageResult::kNo;
  } else {
    view.buttons = {{t::kOk, MessageResult::kOk}, {t::kCancel, MessageResult::kCancel}};
    view.dismiss_result = MessageResult::kCancel;
  }
  return view;
}

}  // namespace kalvira::ui
