#pragma once

#include <QPoint>
#include <QRect>

// Where a window's outer frame (pixels) goes so that it lies whole inside
// the area: moved the least distance, and not at all when it fits already.
// Along an axis where the frame is larger than the area, its near edge goes
// to the area's near edge (left, top), so the title bar stays reachable.
// An empty area (no screen known) leaves the frame where it is.
QPoint FitIntoArea(const QRect& frame, const QRect& area);
