#pragma once

#include <QWidget>
#include <cstdint>

// Puts a window into the topmost band (flag -1) or out of it (any other
// value), without activating it and without moving it.
void SetTopmost(QWidget& window, int16_t onTop);

// A window's outer frame (left, top, width, height) in twips, and moving the
// outer frame to a place given in twips.
double WindowLeft(const QWidget& w);
double WindowTop(const QWidget& w);
double WindowWidth(const QWidget& w);
double WindowHeight(const QWidget& w);
void MoveWindow(QWidget& w, double leftTwips, double topTwips);
