#include "ui/snap_to_edges.h"

#include <cstdlib>

namespace kalvira::ui {
namespace {

// One axis: `start` and `length` of the frame, `area_start` and `area_length` of the area.
int SnapAxis(int start, int length, int area_start, int area_length, int distance) {
  if (std::abs(start - area_start) <= distance) return area_start;
  const int end = start + length;
  const int area_end = area_start + area_length;
  if (std::abs(end - area_end) <= distance) return area_end - length;
  return start;
}

}  // namespace

QPoint SnapToEdges(QRect frame, QRect area, int distance) {
  return {SnapAxis(frame.x(), frame.width(), area.x(), area.width(), distance),
          SnapAxis(frame.y(), frame.height(), area.y(), area.height(), distance)};
}

}  // namespace kalvira::ui
