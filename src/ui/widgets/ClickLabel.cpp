#include "ui/widgets/ClickLabel.h"

#include <QMouseEvent>

void ClickLabel::mousePressEvent(QMouseEvent* e)
{
    // Only the left button clicks; a right press goes on to the window
    // (its popup menu).
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    e->accept();
    emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        e->ignore();
    else
        e->accept();
}
