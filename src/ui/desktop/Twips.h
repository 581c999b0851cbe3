#pragma once

#include <QRect>
#include <cmath>

// Window geometry is kept in twips (1/1440 inch). The program converts with a
// fixed 15 twips per pixel whatever the display's real resolution.
constexpr int TwipsPerPixel = 15;

// Nearest whole pixel, halves to the even neighbour.
inline int TwipsToPixels(double twips)
{
    return static_cast<int>(std::nearbyint(twips / TwipsPerPixel));
}

inline double PixelsToTwips(int pixels) { return double(pixels) * TwipsPerPixel; }

inline QRect TwipsRect(double left, double top, double width, double height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}
