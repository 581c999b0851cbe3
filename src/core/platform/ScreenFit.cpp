#include "core/platform/ScreenFit.h"

namespace {
// One axis: the start of a span of the given size inside [first, first + room).
int FitSpan(int start, int size, int first, int room)
{
    if (size > room || start < first)
        return first;
    if (start + size > first + room)
        return first + room - size;
    return start;
}
} // namespace

QPoint FitIntoArea(const QRect& frame, const QRect& area)
{
    if (area.isEmpty())
        return frame.topLeft();
    return QPoint(FitSpan(frame.x(), frame.width(), area.x(), area.width()),
                  FitSpan(frame.y(), frame.height(), area.y(), area.height()));
}
