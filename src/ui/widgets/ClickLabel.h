#pragma once

#include <QLabel>

// A label that reports a press of the left button as a click; a double
// click is not a second one. Other buttons are left to the window.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};
