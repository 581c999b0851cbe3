#include "ui/desktop/WindowControl.h"

#include "ui/desktop/Desktop.h"
#include "ui/desktop/Twips.h"

double WindowLeft(const QWidget& w) { return PixelsToTwips(w.frameGeometry().x()); }
double WindowTop(const QWidget& w) { return PixelsToTwips(w.frameGeometry().y()); }
double WindowWidth(const QWidget& w) { return PixelsToTwips(w.frameGeometry().width()); }
double WindowHeight(const QWidget& w) { return PixelsToTwips(w.frameGeometry().height()); }

void MoveWindow(QWidget& w, double leftTwips, double topTwips)
{
    // For a top-level window, move() places the outer frame.
    w.move(TwipsToPixels(leftTwips), TwipsToPixels(topTwips));
}

void SetTopmost(QWidget& window, int16_t onTop)
{
    const QRect pixels(TwipsToPixels(WindowLeft(window)), TwipsToPixels(WindowTop(window)),
                       TwipsToPixels(WindowWidth(window)), TwipsToPixels(WindowHeight(window)));
    desktop().SetWindowPos(&window, onTop == -1, pixels);
}
