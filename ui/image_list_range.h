// The numbering of the tool bar's image list, shared by the Qt-free message-box rules and
// the pictures themselves (ui/image_list.h).
#pragma once

namespace kalvira::ui {

inline constexpr int kFirstImageListIndex = 1;
inline constexpr int kLastImageListIndex = 10;

constexpr bool IsImageListIndex(int index) {
  return index >= kFirstImageListIndex && index <= kLastImageListIndex;
}

}  // namespace kalvira::ui
