#include "ui/desktop/ModalDialogs.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

class ModalDialogGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::WindowStateChange || !watched->isWidgetType())
            return false;
        auto* window = static_cast<QWidget*>(watched);
        if (!window->isWindow() || !window->isModal() || !window->isMinimized())
            return false;
        // After the state change has run its course, not inside it.
        QTimer::singleShot(0, window, [window] {
            if (!window->isMinimized() || !window->isVisible())
                return;
            window->showNormal();
            window->raise();
            window->activateWindow();
        });
        return false;
    }
};

} // namespace

void KeepModalDialogsOnScreen()
{
    static QPointer<ModalDialogGuard> guard;
    // Only a program with windows has dialogs to keep (a run without them
    // has a plain QCoreApplication).
    QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (guard || !app)
        return;
    guard = new ModalDialogGuard(app);
    app->installEventFilter(guard);
}
