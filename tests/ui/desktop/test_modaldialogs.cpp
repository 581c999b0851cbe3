#include "ui/desktop/QtPlatform.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

// A modal box blocks every other window of the program: one left minimised
// leaves nothing on the screen that takes a click, and the program looks
// frozen (a minimised file dialog once hung the program at closing).
class TestModalDialogs : public QObject {
    Q_OBJECT

private slots:
    void aMinimisedModalBoxComesBackAtOnce()
    {
        QtPlatform qt;
        bool minimised = false, back = false;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!box)
                return;
            box->setWindowState(Qt::WindowMinimized);
            minimised = box->isMinimized();
            QTimer::singleShot(100, box, [&back, box] {
                back = box->isVisible() && !box->isMinimized();
                box->done(0);
            });
        });
        // Ends the box should the check above never run.
        QTimer::singleShot(5000, this, [] {
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                box->done(0);
        });
        qt.MessageBox(QStringLiteral("Minimise me"));
        QVERIFY(minimised);
        QVERIFY(back);
    }
};

QTEST_MAIN(TestModalDialogs)
#include "test_modaldialogs.moc"
