#include "ui/desktop/WindowControl.h"

#include "support/TestApp.h"
#include "ui/app/frmToolbar1.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"
#include "ui/phrases/frmPhrases.h"
#include "ui/desktop/QtPlatform.h"
#include "ui/desktop/Twips.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QTest>
#include <QWindow>

// Geometry is that of the outer frames (the offscreen platform gives windows
// a thin frame too).
class TestWindowControl : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { EndApp(); }

    void showProceduresHangWindowsUnderTheToolbar_data()
    {
        QTest::addColumn<QPoint>("toolbarPos");
        QTest::newRow("start-up place") << QPoint(640, 0);
        QTest::newRow("dragged elsewhere") << QPoint(101, 237);
    }
    void showProceduresHangWindowsUnderTheToolbar()
    {
        QFETCH(QPoint, toolbarPos);
        FakePlatform fake;
        TestFolder dir;
        fake.programFolder = dir.Path();
        EndApp();
        frmToolbar1& t = App().Toolbar();
        t.move(toolbarPos);
        t.show();
        const double left = toolbarPos.x() * 15.0, top = toolbarPos.y() * 15.0;
        const double height = WindowHeight(t);
        QCOMPARE(height, PixelsToTwips(t.frameGeometry().height()));
        QVERIFY(height >= 315);
        QCOMPARE(WindowLeft(t), left);
        QCOMPARE(WindowTop(t), top);

        App().ShowContactList();
        frmChatContactList& list = App().ChatContactList();
        QVERIFY(list.isVisible());
        QCOMPARE(WindowLeft(list), left + 360);
        QCOMPARE(WindowTop(list), top + height);

        App().ShowContactDetails();
        frmContactDetails& card = App().ContactDetails();
        QVERIFY(card.isVisible());
        // The card's right edge meets the list's left edge.
        QCOMPARE(WindowLeft(card) + WindowWidth(card), left + 360);
        QCOMPARE(WindowTop(card), top + height);
        QCOMPARE(card.frameGeometry().right() + 1, list.frameGeometry().left());

        App().ShowPhrases();
        frmPhrases& phrases = App().Phrases();
        QVERIFY(phrases.isVisible());
        QCOMPARE(WindowLeft(phrases), left);
        QCOMPARE(WindowTop(phrases), top + height + 315);
        QCOMPARE(phrases.frameGeometry().topLeft(),
                 QPoint(toolbarPos.x(), t.frameGeometry().bottom() + 1 + 21));
    }

    void openWindowsFollowOnlyWhenTheirButtonIsPressedAgain()
    {
        FakePlatform fake;
        TestFolder dir;
        fake.programFolder = dir.Path();
        frmToolbar1& t = App().Toolbar();
        t.move(300, 10);
        t.show();
        App().ShowPhrases();
        App().ShowContactList();
        const int below = 10 + t.frameGeometry().height();
        const QPoint listPlace = App().ChatContactList().pos();
        QCOMPARE(listPlace, QPoint(324, below));
        // The user moves the phrase window away and drags the toolbar.
        App().Phrases().move(5, 5);
        t.move(400, 50);
        QCOMPARE(App().ChatContactList().pos(), listPlace);
        App().ShowPhrases();
        QCOMPARE(App().Phrases().pos(), QPoint(400, below + 40 + 21));
        QCOMPARE(App().ChatContactList().pos(), listPlace);
        const QSize size = App().Phrases().size();
        App().ShowPhrases();
        QCOMPARE(App().Phrases().size(), size);
    }

    void setTopmostPassesThePixelRectangleAndOnlyMinusOneMeansOnTop()
    {
        FakePlatform fake;
        QWidget w;
        w.setWindowTitle(QStringLiteral("w"));
        w.resize(296, 196);
        w.move(150, 60);
        w.show();
        QCOMPARE(w.frameGeometry(), QRect(150, 60, 300, 200));
        fake.Reset();
        SetTopmost(w, -1);
        SetTopmost(w, 1);
        SetTopmost(w, 0);
        SetTopmost(w, 32767);
        QStringList states;
        for (const FakePlatform::Call& c : fake.calls) {
            QCOMPARE(c.args.value(2), QStringLiteral("150,60,300,200"));
            states.append(c.args.value(1));
        }
        QCOMPARE(states, QStringList({"topmost", "not topmost", "not topmost", "not topmost"}));
    }

    void setTopmostChangesTheBandWithoutMovingOrRecreatingTheWindow()
    {
        QtPlatform qt;
        Platform* previous = SetPlatform(&qt);
        Desktop* previousDesktop = SetDesktop(&qt);
        QWidget w;
        w.setWindowTitle(QStringLiteral("w"));
        w.resize(300, 200);
        MoveWindow(w, 150 * 15, 60 * 15);
        QVERIFY(!w.isVisible());

        SetTopmost(w, -1);
        QVERIFY(w.isVisible());  // shown, as the placement call does
        const QRect frame = w.frameGeometry();
        QCOMPARE(frame.topLeft(), QPoint(150, 60));
        QWindow* handle = w.windowHandle();
        QVERIFY(handle);
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(handle->flags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(w.frameGeometry(), frame);

        // A flag of 1 is not -1: the window leaves the topmost band.
        SetTopmost(w, 1);
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!handle->flags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(w.windowHandle(), handle);  // the same native window
        QCOMPARE(w.frameGeometry(), frame);
        QVERIFY(w.isVisible());

        SetTopmost(w, -1);
        QVERIFY(handle->flags().testFlag(Qt::WindowStaysOnTopHint));
        SetTopmost(w, 0);
        QVERIFY(!handle->flags().testFlag(Qt::WindowStaysOnTopHint));
        SetDesktop(previousDesktop);
        SetPlatform(previous);
    }
};

QTEST_MAIN(TestWindowControl)
#include "test_windowcontrol.moc"
