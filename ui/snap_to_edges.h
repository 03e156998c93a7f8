// Where a window goes when it is let go near the edges of the screen.
#pragma once

#include <QPoint>
#include <QRect>

namespace kalvira::ui {

// The top-left corner for `frame` (the window's outer rectangle) within `area` (the
// screen's available area): each edge of the frame that is at most `distance` pixels
// from the matching edge of the area, inside or outside it, is moved onto that edge; the
// left and top edges win over the right and bottom ones when both are close (a frame
// about as large as the area). An axis with no close edge keeps its position.
QPoint SnapToEdges(QRect frame, QRect area, int distance = 10);

}  // namespace kalvira::ui
