#include "ui/desktop/ScreenPlacement.h"

#include "ui/desktop/WindowControl.h"
#include "ui/desktop/Desktop.h"
#include "core/platform/ScreenFit.h"
#include "ui/desktop/Twips.h"

#include <QEvent>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace {
bool IsFramed(const QWidget& w) { return w.frameGeometry().size() != w.size(); }

// Watches a window placed before it was framed. At its first move or resize
// after the window manager has framed it, the window is fitted onto the area
// once more with its real frame (only if it still stands where it was put);
// then the watcher goes.
class RefitWhenFramed : public QObject {
public:
    // The window's watcher, made when it has none yet, told the new place.
    static void Watch(QWidget& w, const QPoint& place, const QRect& area)
    {
        const QString name = QStringLiteral("RefitWhenFramed");
        auto* watcher = dynamic_cast<RefitWhenFramed*>(
            w.findChild<QObject*>(name, Qt::FindDirectChildrenOnly));
        if (!watcher) {
            watcher = new RefitWhenFramed(w);
            watcher->setObjectName(name);
        }
        watcher->m_place = place;
        watcher->m_area = area;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Move && event->type() != QEvent::Resize)
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (!IsFramed(*w))
            return false;
        w->removeEventFilter(this);
        setObjectName(QString());
        deleteLater();
        const QRect frame = w->frameGeometry();
        if (frame.topLeft() == m_place) {
            const QPoint fitted = FitIntoArea(frame, m_area);
            if (fitted != m_place)
                MoveWindow(*w, PixelsToTwips(fitted.x()), PixelsToTwips(fitted.y()));
        }
        return false;
    }

private:
    explicit RefitWhenFramed(QWidget& w) : QObject(&w) { w.installEventFilter(this); }

    QPoint m_place;
    QRect m_area;
};
} // namespace

QSize OuterSize(const QWidget& w, const QWidget& toolbar)
{
    QSize size = w.frameGeometry().size();
    if (!IsFramed(w))
        size += toolbar.frameGeometry().size() - toolbar.size();
    return size;
}

void PlaceOnToolbarScreen(QWidget& w, const QWidget& toolbar, double leftTwips, double topTwips)
{
    const QRect area = desktop().AvailableArea(&toolbar);
    const QRect frame(QPoint(TwipsToPixels(leftTwips), TwipsToPixels(topTwips)),
                      OuterSize(w, toolbar));
    const QPoint place = FitIntoArea(frame, area);
    MoveWindow(w, PixelsToTwips(place.x()), PixelsToTwips(place.y()));
    if (!IsFramed(w))
        RefitWhenFramed::Watch(w, place, area);
}
