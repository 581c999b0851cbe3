#pragma once

#include <QFont>
#include <QString>
#include <cmath>

// A font given in points, sized in pixels at the fixed 96 dots per inch that
// goes with 15 twips per pixel, so text fits controls placed in twips on any
// display.
inline QFont PointFont(const QString& family, double points, bool bold = false,
                       bool underline = false)
{
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}
