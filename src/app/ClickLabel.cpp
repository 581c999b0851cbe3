#include "app/ClickLabel.h"

#include <QMouseEvent>

void ClickLabel::mousePressEvent(QMouseEvent* e)
{
    e->accept();
    emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* e) { e->accept(); }
