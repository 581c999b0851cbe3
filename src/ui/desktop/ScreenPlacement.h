#pragma once

#include <QSize>

class QWidget;

// A window's outer size in pixels. Before the window manager has framed a
// new window its outer size is not known yet; its frame is taken to be as
// wide and as tall as the toolbar's.
QSize OuterSize(const QWidget& w, const QWidget& toolbar);

// Moves a window's outer frame to (left, top) in twips, then the least
// distance that brings it whole onto the available area of the toolbar's
// screen (desktop().AvailableArea). A window that fits is not moved further.
// For a window not framed yet the frame is estimated (OuterSize); once the
// window manager has framed it, it is brought onto the area again with its
// real frame, unless it no longer stands where it was put.
void PlaceOnToolbarScreen(QWidget& w, const QWidget& toolbar, double leftTwips, double topTwips);
